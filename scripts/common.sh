# Shared by scripts/run and scripts/test: installs the Debian packages the
# build and the tests need (only those missing), then configures and builds.

ONDREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

ONDREL_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev
  qt6-base-dev qt6-svg-dev qt6-multimedia-dev pulseaudio pulseaudio-utils qt6-translations-l10n libx11-dev
  sox poppler-utils
  fonts-ipafont-gothic
)

ondrel_install_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# ondrel_build BUILD_DIR [extra cmake arguments...]
ondrel_build() {
  local dir=$1
  shift
  cmake -S "$ONDREL_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
