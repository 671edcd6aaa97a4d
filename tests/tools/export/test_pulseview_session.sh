#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# PulseView opens a session file of wavemill-export's, given on its command
# line, under a private X server: its window comes up titled with the file,
# and its log shows libsigrok reading the capture, 507,904 samples of unit
# size 1 at 49817 Hz, with no session error. (Given a broken file it titles
# its window "Session 1" and logs a session error instead.) The screenshot
# is kept for a person to look at: three channels, trace1 to trace3, and a
# ruler to +10 s.
#   test_pulseview_session.sh WAVEMILL-EXPORT CAPTURE.ird SCREENSHOT.png
set -euo pipefail
exporter="$1"
capture="$2"
screenshot="$3"

# Exit status 77: CTest's skip, unless scripts/test asks for every peer check.
for tool in pulseview xvfb-run xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed (Debian packages pulseview, xvfb, xauth, xdotool, imagemagick)"
    [ -n "${WAVEMILL_REQUIRE_PEERS:-}" ] && exit 1
    exit 77
  fi
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# PulseView keeps its settings and runtime files here, not in the user's home.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" HOME="$work"
# A window on the X server, whatever platform the other tests run Qt on.
export QT_QPA_PLATFORM=xcb
name="$(basename "$capture" .ird).sr"
session="$work/$name"
# The session file alone: test_pulseview_setup opens it with its setup.
"$exporter" "$capture" -o "$session" --no-setup

# Inside the X server: start PulseView, wait for its window, take the picture.
cat >"$work/show.sh" <<'INNER'
set -u
session="$1" screenshot="$2" log="$3"
title_pattern="^$(basename "$session" | sed 's/\./\\./g') - PulseView\$"
pulseview -l 4 "$session" >"$log" 2>&1 &
pid=$!
title=""
for _ in $(seq 1 120); do
  if xdotool search --name "$title_pattern" >/dev/null 2>&1; then
    title=yes
    break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.25
done
sleep 2 # let it draw the traces
import -window root "$screenshot"
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ -n "$title" ]
INNER

log="$work/pulseview.log"
if ! xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/show.sh" "$session" "$screenshot" "$log"; then
  cat "$log"
  echo "FAIL: no PulseView window titled $name"
  exit 1
fi
fail() {
  cat "$log"
  echo "FAIL: $*"
  exit 1
}
grep -q 'Setting samplerate to 49817\.' "$log" || fail "PulseView did not read the sample rate 49817 Hz"
grep -q 'Received SR_DF_LOGIC packet (507904 bytes, unitsize = 1)' "$log" ||
  fail "PulseView did not read the 507,904 samples"
if grep -qi 'session error' "$log"; then fail "PulseView reported a session error"; fi
echo "PulseView opened $(basename "$capture") as a session file; screenshot: $screenshot"
