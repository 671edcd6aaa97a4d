#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs the README's commands as a new user types them, in order, from the
# top of a checkout whose build scripts/run has made, and fails when one of
# them fails or prints other than the README shows:
#
# - every line of a ```sh block is a command and must exit 0;
# - in a ```text block, a line "$ command" is run too, and what it prints
#   must be the lines below it, up to the next "$ " line, exactly;
# - scripts/run runs with WAVEMILL_RUN_CHECK=1: it builds, starts the
#   window, sees it show and closes it;
# - a window the README starts (wavemill) must show and close with status 0;
#   a board it starts alone on a pseudo-terminal must print the device's
#   path and end with status 0 on Ctrl+C (SIGINT);
# - left out, and said so: what needs root (sudo, apt, usermod) or a real
#   board (a /dev/ttyUSB or /dev/ttyACM device, flashing), PulseView (its
#   window stays until closed; test_pulseview_setup opens the same file),
#   and scripts/test, which runs this check.
#
# The commands run in a folder of their own whose entries are links to the
# checkout's, so that the files they write (hello.sr ...) stay out of it
# while build/ is the checkout's own.
#   readme_commands.sh SOURCE_DIR
set -uo pipefail
src="$(cd -P "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# build/ too, which scripts/run makes in a fresh checkout.
mkdir -p "$src/build"
for entry in "$src"/* "$src"/.[!.]*; do
  [ -e "$entry" ] && ln -s "$entry" "$work/"
done
cd "$work" || exit 1

ran=0
left_out=0
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Why a command cannot run here, or nothing when it can.
why_left_out() {
  local command="$1"
  case "$command" in
    sudo\ * | apt\ * | apt-get\ * | usermod\ *) echo "needs root" ;;
    *scripts/test*) echo "is the test suite that runs this check" ;;
    *scripts/flash* | */dev/ttyUSB* | */dev/ttyACM*) echo "needs a real board" ;;
    pulseview\ *) echo "opens PulseView, which stays until it is closed; test_pulseview_setup opens it" ;;
    *) ;;
  esac
}

# The window: it must show, and exit 0 once closed.
run_window() {
  WAVEMILL_RUN_CHECK=1 timeout 900 bash -c "$1"
}

# A board on a pseudo-terminal: its first line is the device, and Ctrl+C
# ends it with status 0.
run_board() {
  local out="$work/.board.out"
  bash -c "exec $1" >"$out" 2>"$work/.board.err" &
  local pid=$!
  local path=""
  for _ in $(seq 100); do
    path="$(head -n 1 "$out" 2>/dev/null)"
    [ -n "$path" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -INT "$pid" 2>/dev/null
  wait "$pid"
  local status=$?
  if [[ ! "$path" =~ ^/dev/pts/[0-9]+$ ]]; then
    cat "$work/.board.err" >&2
    echo "printed no pseudo-terminal: '$path'" >&2
    return 1
  fi
  return "$status"
}

# run_command COMMAND: runs one command as the user's shell would (with a
# time limit, so that a command that waits for ever fails instead).
run_command() {
  local command="$1"
  case "$command" in
    scripts/run*) run_window "$command" ;;
    *\|*) timeout 900 bash -c "$command" ;;
    *wavemill-board*) run_board "$command" ;;
    *) timeout 900 bash -c "$command" ;;
  esac
}

# check COMMAND [EXPECTED-OUTPUT-FILE]
check() {
  local command="$1" expected="${2:-}" why status
  why="$(why_left_out "$command")"
  if [ -n "$why" ]; then
    echo "-- left out ($why): $command"
    left_out=$((left_out + 1))
    return
  fi
  echo "-- $command"
  ran=$((ran + 1))
  run_command "$command" </dev/null >"$work/.out" 2>"$work/.err"
  status=$?
  if [ -n "$expected" ]; then
    diff -u "$expected" "$work/.out" | head -n 40 >&2
    cmp -s "$expected" "$work/.out" ||
      fail "$command prints other than the README shows (- README, + program)"
  else
    cat "$work/.out"
    # What ends without a newline (sigrok-cli -B) still ends its line here.
    [ -n "$(tail -c 1 "$work/.out")" ] && echo
  fi
  [ "$status" -eq 0 ] || { cat "$work/.err" >&2; fail "$command: exit status $status"; }
}

# Walks the README's fenced blocks.
block=""
indent=""
command=""
expected="$work/.expected"
finish_text_command() {
  [ -n "$command" ] && check "$command" "$expected"
  command=""
}
while IFS= read -r line || [ -n "$line" ]; do
  if [[ "$line" =~ ^(\ *)\`\`\`(.*)$ ]]; then
    if [ -z "$block" ]; then
      indent="${BASH_REMATCH[1]}"
      block="${BASH_REMATCH[2]:-plain}"
    else
      [ "$block" = text ] && finish_text_command
      block=""
    fi
    continue
  fi
  line="${line#"$indent"}" # a block in a list item is indented with it
  case "$block" in
    sh)
      [[ -z "$line" || "$line" == \#* ]] && continue
      check "$line"
      ;;
    text)
      if [[ "$line" == "\$ "* ]]; then
        finish_text_command
        command="${line#\$ }"
        : >"$expected"
      elif [ -n "$command" ]; then
        printf '%s\n' "$line" >>"$expected"
      fi
      ;;
  esac
done <"$src/README.md"

echo "README: $ran commands run, $left_out left out, $failures failed"
[ "$failures" -eq 0 ]
