#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The package check: builds the Debian packages as a user does (scripts/package,
# a Release build with Debian's hardening flags) and puts them and the source
# tree through Debian's own checkers, then checks what the packages hold and
# that the packaged programs run. Every check runs; each failure shows the
# checker's own message, and any failure fails the test.
#   test_package_deb.sh SOURCE_DIR PACKAGE_BUILD_DIR
set -uo pipefail
src="$1"
build="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# check NAME COMMAND...: runs a checker, shows its output, counts a failure.
check() {
  local name="$1"
  shift
  echo "== $name"
  "$@" || fail "$name"
}

"$src/scripts/package" "$build" || { echo "FAIL: scripts/package" >&2; exit 1; }
debs=("$build"/*.deb)

# Errors and warnings fail; info tags are shown too.
check "lintian" lintian --display-info --tag-display-limit 0 --fail-on error,warning "${debs[@]}"
check "reuse lint" reuse --root "$src" lint

for deb in "${debs[@]}"; do
  package="$(dpkg-deb -f "$deb" Package)"
  root="$work/$package"
  dpkg-deb -x "$deb" "$root"
  echo "== $package: $(dpkg-deb -f "$deb" Depends)"
  for program in "$root"/usr/bin/*; do
    # Debian 12's C start files carry no CET marking, so no program on it
    # (not even /bin/ls) has control-flow protection: not asked for.
    check "hardening-check $(basename "$program")" hardening-check --nocfprotection "$program"
  done
  for page in "$root"/usr/share/man/man1/*; do
    out="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)"
    echo "== man -l $(basename "$page") ${out:-(no warnings)}"
    [ -z "$out" ] || fail "man -l $(basename "$page")"
  done
  for entry in "$root"/usr/share/applications/*.desktop; do
    [ -e "$entry" ] || continue
    out="$(desktop-file-validate "$entry" 2>&1)"
    echo "== desktop-file-validate $(basename "$entry") ${out:-(clean)}"
    [ -z "$out" ] || fail "desktop-file-validate"
  done
  for metainfo in "$root"/usr/share/metainfo/*.xml; do
    [ -e "$metainfo" ] || continue
    out="$(appstreamcli validate --no-net "$metainfo" 2>&1)"
    status=$?
    echo "== appstreamcli validate $(basename "$metainfo")"
    echo "$out"
    # Pedantic and info notes are fine; errors and warnings are not.
    if [ "$status" -ne 0 ] || grep -qE '^[EW]:' <<<"$out"; then fail "appstreamcli validate"; fi
  done
  for file in copyright changelog.gz; do
    [ -f "$root/usr/share/doc/$package/$file" ] || fail "$package has no /usr/share/doc/$package/$file"
  done
  # Nothing from the build tree: no tests, benchmarks or libraries.
  if dpkg-deb -c "$deb" | grep -E 'test_|bench_|\.a$'; then fail "build leftovers in $package"; fi
  if readelf -d "$root"/usr/bin/* | grep -E 'RPATH|RUNPATH' | grep -qF "$build"; then
    fail "a program in $package looks for libraries in the build tree"
  fi
done

# Every program is in its package, with its manual page.
while read -r program package kind binary; do
  [ -x "$work/$package/usr/bin/$program" ] || fail "$program is not in package $package"
  [ -f "$work/$package/usr/share/man/man1/$program.1.gz" ] || fail "$program has no manual page"
done <"$build/packaging/programs.txt"

# The window's package: what it needs at run time, its menu entry and icons,
# and a packaged program that runs on the system's Qt with the packaged example.
main="$work/wavemill"
deb="$(ls "$build"/wavemill_*.deb)"
decode_deb="$(ls "$build"/wavemill-decode_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libc6 libzip4; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends does not name $dep"
done
[ -f "$main/usr/share/wavemill/examples/infrared.ird" ] || fail "the infrared example is not packaged"

# The decoder and what it brings along are a package of their own: the
# program, its manual page and its copyright and changelog, nothing else.
[ -e "$main/usr/bin/wavemill-decode" ] && fail "wavemill-decode is in the window's package"
decode_files="$(cd "$work/wavemill-decode" && find . -type f | sort | tr '\n' ' ')"
[ "$decode_files" = "./usr/bin/wavemill-decode ./usr/share/doc/wavemill-decode/changelog.gz ./usr/share/doc/wavemill-decode/copyright ./usr/share/man/man1/wavemill-decode.1.gz " ] ||
  fail "the decoder's package holds: $decode_files"
grep -qE "(^|, )libsigrokdecode4( |,|$)" <<<"$(dpkg-deb -f "$decode_deb" Depends)" ||
  fail "the decoder does not depend on libsigrokdecode4"

# What installing each package brings on a system with nothing installed,
# Recommends included, as apt works it out from its package lists: the window
# brings no Python; the decoder does (so the look-up can see it).
if [ -n "$(ls /var/lib/apt/lists/ 2>/dev/null | grep -v -e lock -e partial)" ]; then
  : >"$work/nothing-installed"
  brings() {
    apt-get install --simulate -o Dir::State::status="$work/nothing-installed" "$1" 2>/dev/null |
      awk '$1 == "Inst" {print $2}'
  }
  window_set="$(brings "$deb")"
  [ -n "$window_set" ] || fail "apt could not work out what the window's package brings"
  if grep -iE 'python' <<<"$window_set"; then fail "installing wavemill brings Python"; fi
  grep -qiE '^libpython3' <<<"$(brings "$decode_deb")" ||
    fail "the look-up did not see the decoder's Python: the window's check proves nothing"
  echo "== installing wavemill brings $(wc -l <<<"$window_set") packages, none of them Python"
else
  fail "no apt package lists: what the packages bring cannot be checked (apt-get update)"
fi
grep -qx 'Exec=wavemill %f' "$main/usr/share/applications/wavemill.desktop" || fail "desktop entry Exec"
grep -qx 'Icon=wavemill' "$main/usr/share/applications/wavemill.desktop" || fail "desktop entry Icon"
for size in 32 64 128 256; do
  file "$main/usr/share/icons/hicolor/${size}x$size/apps/wavemill.png" |
    grep -q "PNG image data, $size x $size" || fail "no $size-pixel icon"
done
"$main/usr/bin/wavemill-export" "$main/usr/share/wavemill/examples/uart-hello.ird" \
  -o "$work/hello.vcd" || fail "the packaged wavemill-export cannot export the packaged example"
"$work/wavemill-decode/usr/bin/wavemill-decode" "$main/usr/share/wavemill/examples/uart-hello.ird" \
  --trace 1 | grep -q 'UART at 9600 bit/s' ||
  fail "the packaged wavemill-decode does not describe the packaged example"

# Installed, the package opens capture files from a file manager: dpkg's
# triggers update the MIME and desktop databases, and xdg-mime (what file
# managers and xdg-open ask) takes an .ird for a capture and names Wavemill.
# Installed for real, then removed again unless it was there before.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; elif sudo -n true 2>/dev/null; then sudo "$@"; else return 1; fi
}
was_installed=0
dpkg-query -W -f='${Status}' wavemill 2>/dev/null | grep -q "install ok installed" && was_installed=1
if as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" \
  >"$work/install.log" 2>&1; then
  cp "$main/usr/share/wavemill/examples/uart-hello.ird" "$work/x.ird"
  type="$(cd "$work" && xdg-mime query filetype x.ird 2>&1)"
  default="$(xdg-mime query default application/x-wavemill-capture 2>&1)"
  echo "== installed: xdg-mime query filetype x.ird: $type"
  echo "== installed: xdg-mime query default application/x-wavemill-capture: $default"
  [ "$type" = application/x-wavemill-capture ] || fail "an installed wavemill leaves .ird files untyped"
  [ "$default" = wavemill.desktop ] || fail "an installed wavemill does not open capture files"
  if [ "$was_installed" -eq 0 ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y wavemill >/dev/null 2>&1 ||
      fail "the window's package does not remove"
  fi
else
  cat "$work/install.log" >&2
  fail "the window's package does not install (as root, or with sudo)"
fi

echo "package check: $failures failed"
[ "$failures" -eq 0 ]
