#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks what it holds and
# what it depends on: package_deb.sh BUILD_DIR
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
debs=("$work"/out/*.deb)
[ -f "${debs[0]}" ] || fail "no .deb in $work/out"
deb="${debs[0]}"
echo "built $(basename "$deb")"

contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for path in ./usr/bin/wavemill ./usr/bin/wavemill-board ./usr/bin/wavemill-export \
            ./usr/share/applications/wavemill.desktop \
            ./usr/share/icons/hicolor/32x32/apps/wavemill.png \
            ./usr/share/wavemill/examples/uart-hello.ird; do
  grep -qxF "$path" <<<"$contents" || fail "$path is not in the package"
done
# Nothing from the build tree: no tests, benchmarks or libraries.
if grep -E 'test_|bench_|\.a$' <<<"$contents"; then fail "build leftovers in the package"; fi

[ "$(dpkg-deb -f "$deb" Package)" = wavemill ] || fail "package name"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libc6; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends does not name $dep"
done

# The unpacked programs run on the system's Qt, with no path into the build tree.
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/wavemill-export" --version | grep -q '^wavemill-export ' ||
  fail "the packaged wavemill-export does not run"
"$work/root/usr/bin/wavemill-export" "$work/root/usr/share/wavemill/examples/uart-hello.ird" \
  -o "$work/hello.vcd" || fail "the packaged wavemill-export cannot export the packaged example"
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
