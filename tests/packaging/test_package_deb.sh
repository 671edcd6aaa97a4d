#!/usr/bin/env bash
# Builds the Debian packages from a built tree and checks what they hold and
# what they depend on: package_deb.sh BUILD_DIR
# (The tree is the one the tests were built in; a fresh Release build for
# the package alone would take most of the test run on a small machine.)
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

command -v dpkg-deb >/dev/null || fail "dpkg-deb is missing"
command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (Debian package dpkg-dev)"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
deb="$(ls "$work"/out/wavemill_*.deb 2>/dev/null | head -n 1)"
decode_deb="$(ls "$work"/out/wavemill-decode_*.deb 2>/dev/null | head -n 1)"
[ -f "$deb" ] || fail "no wavemill .deb in $work/out"
[ -f "$decode_deb" ] || fail "no wavemill-decode .deb in $work/out"
echo "built $(basename "$deb") and $(basename "$decode_deb")"

contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for path in ./usr/bin/wavemill ./usr/bin/wavemill-board ./usr/bin/wavemill-export \
            ./usr/share/applications/wavemill.desktop \
            ./usr/share/icons/hicolor/32x32/apps/wavemill.png \
            ./usr/share/wavemill/examples/uart-hello.ird \
            ./usr/share/wavemill/examples/infrared.ird; do
  grep -qxF "$path" <<<"$contents" || fail "$path is not in the package"
done
# Nothing from the build tree: no tests, benchmarks or libraries.
if grep -E 'test_|bench_|\.a$' <<<"$contents"; then fail "build leftovers in the package"; fi
# The decoder and what it brings along are a package of their own.
if grep -qF ./usr/bin/wavemill-decode <<<"$contents"; then fail "wavemill-decode is in the window's package"; fi
[ "$(dpkg-deb -c "$decode_deb" | awk '$6 !~ /\/$/ {print $6}')" = ./usr/bin/wavemill-decode ] ||
  fail "the decoder's package holds more than wavemill-decode"

[ "$(dpkg-deb -f "$deb" Package)" = wavemill ] || fail "package name"
[ "$(dpkg-deb -f "$decode_deb" Package)" = wavemill-decode ] || fail "decoder package name"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "wavemill Depends: $depends"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libc6 libzip4; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends does not name $dep"
done
decode_depends="$(dpkg-deb -f "$decode_deb" Depends)"
echo "wavemill-decode Depends: $decode_depends"
grep -qE "(^|, )libsigrokdecode4( |,|$)" <<<"$decode_depends" || fail "the decoder does not depend on libsigrokdecode4"

# What installing each package brings on a system with nothing installed,
# Recommends included, as apt works it out from its package lists: the window
# brings no Python; the decoder does (so the look-up can see it).
if command -v apt-get >/dev/null && [ -n "$(ls /var/lib/apt/lists/ 2>/dev/null | grep -v -e lock -e partial)" ]; then
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
  echo "installing wavemill brings $(wc -l <<<"$window_set") packages, none of them Python"
else
  echo "no apt package lists: what the packages bring is not checked"
fi

# The unpacked programs run on the system's Qt, with no path into the build tree.
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -x "$decode_deb" "$work/root"
"$work/root/usr/bin/wavemill-export" --version | grep -q '^wavemill-export ' ||
  fail "the packaged wavemill-export does not run"
"$work/root/usr/bin/wavemill-export" "$work/root/usr/share/wavemill/examples/uart-hello.ird" \
  -o "$work/hello.vcd" || fail "the packaged wavemill-export cannot export the packaged example"
"$work/root/usr/bin/wavemill-decode" "$work/root/usr/share/wavemill/examples/uart-hello.ird" \
  --trace 1 | grep -q 'UART at 9600 bit/s' ||
  fail "the packaged wavemill-decode does not describe the packaged example"
if readelf -d "$work"/root/usr/bin/* | grep -E 'RPATH|RUNPATH' | grep -qF "$build"; then
  fail "a packaged program looks for libraries in the build tree"
fi
grep -qx 'Exec=wavemill' "$work/root/usr/share/applications/wavemill.desktop" || fail "desktop entry Exec"
grep -qx 'Icon=wavemill' "$work/root/usr/share/applications/wavemill.desktop" || fail "desktop entry Icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$work/root/usr/share/applications/wavemill.desktop" || fail "desktop entry is not valid"
fi
file "$work/root/usr/share/icons/hicolor/32x32/apps/wavemill.png" | grep -q 'PNG image data, 32 x 32' ||
  fail "the icon is not a 32x32 PNG"
echo "package checked"
