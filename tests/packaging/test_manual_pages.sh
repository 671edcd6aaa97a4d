#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The manual pages say what the programs, the package and the README say:
# - every line of a tool's --help is in its page, and a page and its
#   program's --help name the same options;
# - a page's NAME is the first line of --help that describes the program,
#   and its EXIT STATUS is the "Exit status:" paragraph of --help;
# - a page's FILES under /usr are installed (ours) or on the system (others'),
#   and a folder of ours it names has each of its files named;
# - the window's CONTROLS are the rows of the README's table of the window,
#   in order.
#   test_manual_pages.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
src="$2"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# What the packages install, as they install it.
installed="$(mktemp -d)"
trap 'rm -rf "$installed"' EXIT
DESTDIR="$installed" cmake --install "$build" --prefix /usr >/dev/null

# A page as plain text on one long line per paragraph, blanks collapsed,
# typographic hyphens and minus signs as "-".
render() {
  LC_ALL=C.UTF-8 MANWIDTH=2000 man --nh --nj -l "$1" 2>/dev/null | sed 's/‐/-/g; s/−/-/g'
}
squeeze() { tr -s ' \t\n' ' ' | sed 's/^ //; s/ $//'; }
options() { grep -oE -- '--[a-z][a-z-]*' | sort -u; }
# The text of one section of a rendered page.
section() { awk -v name="$1" '$0 == name { on = 1; next } /^[A-Z]/ { on = 0 } on'; }
# The paragraph of --help under a heading such as "Exit status:".
paragraph() { awk -v name="$1" '$0 == name { on = 1; next } /^$/ { on = 0 } on'; }

while read -r program package kind binary; do
  page="$build/packaging/man/$program.1"
  help="$("$binary" --help)"
  rendered="$(render "$page")"
  # NAME: the program and the first line of --help after its usage, with a
  # small first letter and no full stop.
  first="$(awk '/^[^ ]/ && !/^Usage:/ { print; exit }' <<<"$help" | sed -E 's/\.$//')"
  want="$program - ${first,}"
  got="$(section NAME <<<"$rendered" | squeeze)"
  [ "$got" = "$want" ] || fail "$program.1's NAME is '$got'; --help begins '$first'"
  want="$(paragraph "Exit status:" <<<"$help" | squeeze)"
  got="$(section "EXIT STATUS" <<<"$rendered" | squeeze)"
  [ -n "$want" ] || fail "$program --help has no \"Exit status:\" paragraph"
  [ "$got" = "$want" ] || fail "$program.1's EXIT STATUS is '$got'; --help says '$want'"
  # The window's page names other programs' options in its examples.
  if [ "$kind" = manual ]; then
    help_options="$(paragraph "Options:" <<<"$help" | options)"
    page_options="$(section OPTIONS <<<"$rendered" | options)"
  else
    help_options="$(options <<<"$help")"
    page_options="$(options <<<"$rendered")"
  fi
  if ! diff <(echo "$help_options") <(echo "$page_options") >&2; then
    fail "$program --help (<) and $program.1 (>) name different options"
  fi
  files="$(section FILES <<<"$rendered")"
  for path in $(grep -oE '/usr/[^ ,;:)]*[^ ,;:).]' <<<"$files"); do
    case "$path" in
      /usr/share/wavemill/* | /usr/bin/*) root="$installed" ;;
      *) root="" ;;
    esac
    # shellcheck disable=SC2086 # the path may be a pattern
    if ! compgen -G "$root$path" >/dev/null; then
      fail "$program.1's FILES names $path, which ${root:+the packages do not install}${root:-is not on this system}"
    fi
    if [ -n "$root" ] && [ -d "$root$path" ]; then
      for file in "$root$path"/*; do
        grep -qF "$(basename "$file")" <<<"$files" ||
          fail "$program.1's FILES names $path but not $(basename "$file") in it"
      done
    fi
  done

  if [ "$kind" = help2man ]; then
    text="$(squeeze <<<"$rendered")"
    while IFS= read -r line; do
      # The usage line and the headings are rewritten into the page's sections.
      [[ -z "${line// /}" || "$line" =~ ^Usage: || "$line" =~ ^[A-Z][a-z\ ]*:$ ]] && continue
      line="$(squeeze <<<"$line" | sed 's/^ //; s/ $//')"
      if [[ "$text" != *"$line"* ]]; then
        fail "$program.1 lacks this line of --help: $line"
      fi
    done <<<"$help"
  else
    # README rows "| control | what it does |" against the page's CONTROLS
    # entries, rendered as a 7-blank indented name and a 14-blank description.
    readme="$(sed -n '/^## The window/,/^## /p' "$src/README.md" |
      grep -E '^\| ' | tail -n +2 | tr -d '`' | sed -E 's/^\| (.*) \| (.*) \|$/\1 | \2/')"
    manual="$(sed -n '/^CONTROLS/,/^[A-Z]/p' <<<"$rendered" |
      sed -nE 's/^ {7}([^ ].*)$/\1/p; s/^ {14}([^ ].*)$/\1/p' | paste -d '|' - - |
      sed 's/|/ | /')"
    if ! diff <(echo "$readme") <(echo "$manual") >&2; then
      fail "README.md's window controls (<) and $program.1's CONTROLS (>) differ"
    fi
  fi
done <"$build/packaging/programs.txt"

echo "manual pages: $failures failed"
[ "$failures" -eq 0 ]
