#!/usr/bin/env bash
# The program as a user gets it from `cmake --install`:
#  - installed into a scratch root (DESTDIR), with the menu entry, AppStream file and icons
#    in place and valid;
#  - started from there with a fresh HOME on an Xvfb display: the data goes to
#    ~/.local/share/khgl/ (folder 0700, khgl.dll 0600), and the login window shows with the
#    pictures of the prefix, none being in the data folder;
#  - --folder on an empty folder: the data goes there, the pictures still come from the prefix;
#  - portable: the executable beside a khgl.dll uses its own folder and leaves HOME alone;
#  - the sqlite3 shell reads a khgl.dll the program made once the installed text-rules
#    extension is loaded (its indexes use the program's collation), and not without it.
# Usage: installed_program.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
started=()
cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Starts Xvfb on a free display and exports DISPLAY.
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  started+=($!)
  local i
  for i in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=:$(head -n 1 "$work/display")
}

# start_program HOME PROGRAM [ARGS...]: the program as a desktop user starts it, with nothing of
# this test's environment but the sanitizer settings. Sets $program_pid.
start_program() {
  local home=$1
  shift
  mkdir -p "$home"
  env -i PATH=/usr/bin:/bin HOME="$home" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
    "$@" >>"$work/program.log" 2>&1 &
  program_pid=$!
  started+=("$program_pid")
}

stop_program() {
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
}

# wait_window TITLE-REGEX: prints the id of the first window whose title matches.
wait_window() {
  local id
  id=$(timeout 60 xdotool search --sync --onlyvisible --name "$1" | head -n 1) ||
    fail "no window '$1' appeared; program output: $(cat "$work/program.log")"
  echo "$id"
}

# The colour of one pixel of a window, as ImageMagick names it: srgb(r,g,b).
pixel() {
  import -window "$1" "$work/grab.png"
  convert "$work/grab.png" -format "%[pixel:p{$2,$3}]" info:
}

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" ||
  fail "cmake --install: $(cat "$work/install.log")"
share=$root/usr/share
for file in "$root/usr/bin/khgl" "$share/khgl/dl.dll" "$share/khgl/skin.dll" \
  "$share/khgl/叶子.ico" "$share/khgl/khgl-help.html" "$share/khgl/khgl_qt_zh_CN.qm" \
  "$share/applications/cn.lichuan_shop.khgl.desktop" \
  "$share/metainfo/cn.lichuan_shop.khgl.metainfo.xml" "$share/doc/khgl/copyright"; do
  [ -f "$file" ] || fail "not installed: $file"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$share/icons/hicolor/${size}x$size/apps/khgl.png
  [ "$(identify -format %wx%h "$icon")" = "${size}x$size" ] || fail "icon $icon is not $size pixels"
done
desktop-file-validate "$share/applications/cn.lichuan_shop.khgl.desktop"
# The metainfo file, and that its menu entry and icon are where it says.
appstreamcli validate-tree --no-net "$root" >"$work/appstream.log" ||
  fail "$(cat "$work/appstream.log")"

program=$root/usr/bin/khgl
home=$work/home
data=$home/.local/share/khgl
# --help names the folder before anything is created.
env -i HOME="$home" "$program" --help >"$work/help.txt"
grep -qxF "Data folder: $data" "$work/help.txt" || fail "--help does not name $data: $(cat "$work/help.txt")"
[ ! -e "$data" ] || fail "--help created $data"
# Under a Chinese locale it speaks Chinese, Qt's own lines too.
env -i HOME="$home" LANG=zh_CN.UTF-8 "$program" --help >"$work/help.txt"
grep -qxF "数据文件夹：$data" "$work/help.txt" && grep -q "用法：" "$work/help.txt" &&
  grep -q "显示版本信息" "$work/help.txt" || fail "--help in Chinese: $(cat "$work/help.txt")"

# The login window's background is dark blue at the top left when dl.dll was loaded, and the
# toolkit's light grey when not.
expect_login_with_pictures() {
  local id colour
  id=$(wait_window '^Form8')
  sleep 0.5
  colour=$(pixel "$id" 10 10)
  [[ $colour =~ ^srgb\(([0-9]+),([0-9]+),([0-9]+)\)$ ]] &&
    ((BASH_REMATCH[3] > BASH_REMATCH[1] + 40)) ||
    fail "login window without its background picture: pixel $colour"
}
# The first start asks whether to create the first operator; No goes on to the login.
decline_first_operator() {
  local id
  id=$(wait_window '^首次使用')
  xdotool windowfocus --sync "$id" key Escape
}

start_display

start_program "$home" "$program"
decline_first_operator
[ "$(stat -c %a "$data")" = 700 ] || fail "$data has mode $(stat -c %a "$data")"
[ "$(stat -c %a "$data/khgl.dll")" = 600 ] || fail "khgl.dll has mode $(stat -c %a "$data/khgl.dll")"
[ ! -e "$data/dl.dll" ] || fail "pictures were copied into the data folder"
expect_login_with_pictures
stop_program

extension=$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/khgl/khgl_text
[ -f "$extension.so" ] || fail "not installed: $extension.so"
shell_copy=$work/shell-copy.dll
cp "$data/khgl.dll" "$shell_copy"
if plain=$(sqlite3 "$shell_copy" "select count(*) from 销售表 where 名称 = 'TEA'" 2>&1) ||
  ! grep -q 'no such collation sequence' <<<"$plain"; then
  fail "sqlite3 without the extension: $plain"
fi
with_rules() { sqlite3 -bail -cmd ".load $extension" "$shell_copy" "$@" 2>&1; }
with_rules "insert into 销售表 (名称, 数量) values ('Tea', 2), ('tea  ', 3), ('茶', 4)" ||
  fail "sqlite3 insert with the extension"
[ "$(with_rules "select count(*), sum(数量) from 销售表 where 名称 = 'TEA'")" = "2|5" ] ||
  fail "names do not match by the program's rules: $(with_rules "select * from 销售表")"
with_rules "explain query plan select sum(数量) from 销售表 where 名称 = 'TEA'" |
  grep -q 'INDEX 销售表_名称' || fail "the index on 名称 is not used"
[ "$(with_rules 'pragma integrity_check')" = ok ] || fail "integrity_check with the extension"
[ "$(with_rules "select \"left\"('绿茶叶', 2)")" = 绿茶 ] || fail "left() is missing"

shop=$work/shop
mkdir "$shop"
env -i HOME="$work/home-folder" "$program" --folder "$shop" --help >"$work/help.txt"
grep -qxF "Data folder: $shop" "$work/help.txt" || fail "--folder --help: $(cat "$work/help.txt")"
start_program "$work/home-folder" "$program" --folder "$shop"
decline_first_operator
[ -f "$shop/khgl.dll" ] || fail "--folder: no khgl.dll in $shop"
expect_login_with_pictures
stop_program
[ ! -e "$work/home-folder/.local/share/khgl" ] || fail "--folder still made the per-user folder"

portable=$work/portable
mkdir "$portable"
cp "$program" "$portable/"
cp "$data/khgl.dll" "$portable/"
env -i HOME="$work/home-portable" "$portable/khgl" --help >"$work/help.txt"
grep -qxF "Data folder: $portable" "$work/help.txt" || fail "portable --help: $(cat "$work/help.txt")"
start_program "$work/home-portable" "$portable/khgl"
wait_window '^首次使用' >/dev/null
stop_program
[ ! -e "$work/home-portable/.local/share/khgl" ] || fail "portable copy made the per-user folder"
echo "installed program: ok"
