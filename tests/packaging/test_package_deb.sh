#!/usr/bin/env bash
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
depends="$(dpkg-deb -f "$build"/wavemill_*.deb Depends)"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libc6; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends does not name $dep"
done
grep -qx 'Exec=wavemill' "$main/usr/share/applications/wavemill.desktop" || fail "desktop entry Exec"
grep -qx 'Icon=wavemill' "$main/usr/share/applications/wavemill.desktop" || fail "desktop entry Icon"
for size in 32 64 128 256; do
  file "$main/usr/share/icons/hicolor/${size}x$size/apps/wavemill.png" |
    grep -q "PNG image data, $size x $size" || fail "no $size-pixel icon"
done
"$main/usr/bin/wavemill-export" "$main/usr/share/wavemill/examples/uart-hello.ird" \
  -o "$work/hello.vcd" || fail "the packaged wavemill-export cannot export the packaged example"

echo "package check: $failures failed"
[ "$failures" -eq 0 ]
