#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The manual pages say what the programs and the README say: every line of a
# tool's --help is in its page and both name the same options; the window's
# CONTROLS are the rows of the README's table of the window, in order.
#   test_manual_pages.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
src="$2"
failures=0

# A page as plain text on one long line per paragraph, blanks collapsed,
# typographic hyphens and minus signs as "-".
render() {
  LC_ALL=C.UTF-8 MANWIDTH=2000 man --nh --nj -l "$1" 2>/dev/null | sed 's/‐/-/g; s/−/-/g'
}
squeeze() { tr -s ' \t\n' ' '; }
options() { grep -oE -- '--[a-z][a-z-]*' | sort -u; }

while read -r program package kind binary; do
  page="$build/packaging/man/$program.1"
  if [ "$kind" = help2man ]; then
    help="$("$binary" --help)"
    text="$(render "$page" | squeeze)"
    while IFS= read -r line; do
      # The usage line and the headings are rewritten into the page's sections.
      [[ -z "${line// /}" || "$line" =~ ^Usage: || "$line" =~ ^[A-Z][a-z\ ]*:$ ]] && continue
      line="$(squeeze <<<"$line" | sed 's/^ //; s/ $//')"
      if [[ "$text" != *"$line"* ]]; then
        echo "FAIL: $program.1 lacks this line of --help: $line" >&2
        failures=$((failures + 1))
      fi
    done <<<"$help"
    if ! diff <(options <<<"$help") <(render "$page" | options) >&2; then
      echo "FAIL: $program --help (<) and $program.1 (>) name different options" >&2
      failures=$((failures + 1))
    fi
  else
    # README rows "| control | what it does |" against the page's CONTROLS
    # entries, rendered as a 7-blank indented name and a 14-blank description.
    readme="$(sed -n '/^## The window/,/^## /p' "$src/README.md" |
      grep -E '^\| ' | tail -n +2 | tr -d '`' | sed -E 's/^\| (.*) \| (.*) \|$/\1 | \2/')"
    manual="$(render "$page" | sed -n '/^CONTROLS/,/^[A-Z]/p' |
      sed -nE 's/^ {7}([^ ].*)$/\1/p; s/^ {14}([^ ].*)$/\1/p' | paste -d '|' - - |
      sed 's/|/ | /')"
    if ! diff <(echo "$readme") <(echo "$manual") >&2; then
      echo "FAIL: README.md's window controls (<) and $program.1's CONTROLS (>) differ" >&2
      failures=$((failures + 1))
    fi
  fi
done <"$build/packaging/programs.txt"

echo "manual pages: $failures failed"
[ "$failures" -eq 0 ]
