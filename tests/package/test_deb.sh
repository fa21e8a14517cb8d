#!/bin/sh
# Builds the Debian package from a build folder's install rules, as
# `cpack -G DEB` does there, unpacks it and checks what it holds: the two
# programs, the desktop entry, the icon and the MIME type, the library
# dependencies, and a tool that runs from the unpacked tree.
# Usage: test_deb.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package goes to a folder of the test's own, not into the build folder.
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB failed"
fi
deb="$work/out/ondrel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$work/out")"

# The control fields, with the dependencies dpkg-shlibdeps found.
[ "$(dpkg-deb -f "$deb" Package)" = ondrel ] || fail "package name $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6multimedia6 libqt6printsupport6 libqt6svg6 libc6; do
  echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for program in ondrel ondrel-cli; do
  [ -x "$root/usr/bin/$program" ] || fail "no program usr/bin/$program"
done
[ -x "$root/usr/libexec/ondrel/ondrel-cli-draw" ] || fail "no drawing tool usr/libexec/ondrel/ondrel-cli-draw"
desktop="$root/usr/share/applications/ondrel.desktop"
icon="$root/usr/share/icons/hicolor/scalable/apps/ondrel.svg"
mime="$root/usr/share/mime/packages/ondrel.xml"
for file in "$desktop" "$icon" "$mime"; do
  [ -s "$file" ] || fail "no ${file#"$root"/}"
done

# The desktop entry starts the packaged editor with the packaged icon and
# opens the type the MIME file declares.
grep -qx 'Exec=ondrel %f' "$desktop" || fail "desktop entry does not start ondrel"
grep -qx 'Icon=ondrel' "$desktop" || fail "desktop entry names another icon"
grep -q '^MimeType=.*audio/x-wav;' "$desktop" || fail "desktop entry does not open audio/x-wav"
grep -q '<svg' "$icon" || fail "the icon is no SVG picture"
# The MIME file is read as the desktop's MIME database reads it.
mkdir -p "$work/mime/packages"
cp "$mime" "$work/mime/packages/"
update-mime-database "$work/mime" || fail "update-mime-database refuses ondrel.xml"
grep -q '^[0-9]*:audio/x-wav:\*\.wav$' "$work/mime/globs2" || fail "no *.wav glob for audio/x-wav: $(cat "$work/mime/globs2")"

# The packaged tool runs against the system's libraries.
"$root/usr/bin/ondrel-cli" --help >"$work/help" 2>"$work/help.err" || fail "ondrel-cli --help failed: $(cat "$work/help.err")"
grep -q '^usage: ondrel-cli info FILE' "$work/help" || fail "ondrel-cli --help printed: $(cat "$work/help")"
[ ! -s "$work/help.err" ] || fail "ondrel-cli --help wrote to stderr: $(cat "$work/help.err")"

# Drawing goes to the packaged drawing tool: four samples, 8 kHz mono 16-bit.
printf 'RIFF\054\000\000\000WAVEfmt \020\000\000\000\001\000\001\000\100\037\000\000\200\076\000\000\002\000\020\000data\010\000\000\000\001\000\002\000\003\000\004\000' >"$work/four.wav"
"$root/usr/bin/ondrel-cli" render --width 64 --height 48 "$work/four.wav" "$work/four.png" 2>"$work/render.err" ||
  fail "ondrel-cli render failed: $(cat "$work/render.err")"
[ "$(head -c 4 "$work/four.png" | od -An -c | tr -d ' ')" = '211PNG' ] || fail "ondrel-cli render wrote no PNG"

echo "ok: $(basename "$deb") holds ondrel, ondrel-cli and its drawing tool, the desktop entry, the icon and the MIME type"
