# Shared by scripts/run and scripts/test: installs the Debian packages the
# build and the tests need (only those missing), then configures and builds.

ONDREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

ONDREL_PACKAGES=(
  cmake ninja-build g++ pkg-config
  dpkg-dev file
  libgtest-dev librapidcheck-dev
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

# Parallel jobs for building and testing: every core unless ONDREL_JOBS
# says otherwise (to leave cores to other work).
ONDREL_JOBS=${ONDREL_JOBS:-$(nproc)}

# ondrel_build BUILD_DIR [extra cmake arguments...]
ondrel_build() {
  local dir=$1
  shift
  cmake -S "$ONDREL_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$ONDREL_JOBS"
}

# Compiler and linker flags of the sanitized build: address and undefined
# behaviour checks, every finding fatal.
ONDREL_SANITIZE_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

# ondrel_build_sanitized BUILD_DIR
ondrel_build_sanitized() {
  ondrel_build "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS=$ONDREL_SANITIZE_FLAGS" \
    "-DCMAKE_EXE_LINKER_FLAGS=$ONDREL_SANITIZE_FLAGS" \
    "-DCMAKE_SHARED_LINKER_FLAGS=$ONDREL_SANITIZE_FLAGS" \
    "-DCMAKE_MODULE_LINKER_FLAGS=$ONDREL_SANITIZE_FLAGS"
}
