#!/usr/bin/env bash
# The Debian package: cpack builds it from this build, it declares what the program needs at
# run time, it holds the installed layout, dpkg unpacks it into a scratch root, and lintian
# finds no error in it.
# Usage: debian_package.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
  fail "cpack: $(cat "$work/cpack.log")"
deb=$(echo "$work"/out/khgl_*.deb)
[ -f "$deb" ] || fail "no khgl_*.deb in $(ls "$work/out")"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6charts6 libqt6multimedia6 libsqlite3-0 libcurl4 \
  gstreamer1.0-plugins-good qt6-translations-l10n fonts-wqy-microhei; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

dpkg-deb -c "$deb" >"$work/contents"
for file in ./usr/bin/khgl "./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/khgl/khgl_text.so" \
  ./usr/share/khgl/dl.dll ./usr/share/khgl/叶子.ico \
  ./usr/share/applications/cn.lichuan_shop.khgl.desktop \
  ./usr/share/metainfo/cn.lichuan_shop.khgl.metainfo.xml \
  ./usr/share/icons/hicolor/48x48/apps/khgl.png ./usr/share/doc/khgl/copyright \
  ./usr/share/doc/khgl/changelog.Debian.gz ./usr/share/man/man1/khgl.1.gz; do
  grep -qF " $file" "$work/contents" || fail "dpkg-deb -c does not list $file"
done

dpkg -x "$deb" "$work/root"
[ -x "$work/root/usr/bin/khgl" ] || fail "dpkg -x did not place usr/bin/khgl"
cmp "$work/root/usr/share/icons/hicolor/256x256/apps/khgl.png" \
  "$(dirname "$0")/../../assets/icons/khgl-256.png" || fail "the 256-pixel icon differs"
"$work/root/usr/bin/khgl" --version | grep -q "khgl" || fail "the packaged program does not run"

# Errors fail the test; warnings are printed for the record.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
if grep -q '^E:' "$work/lintian.log"; then
  fail "lintian reports errors"
fi
echo "debian package: ok"
