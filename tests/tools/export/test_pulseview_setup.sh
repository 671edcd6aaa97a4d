#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# PulseView opens wavemill-export's session files of the sample captures
# with the decoders of the setup written beside them: it is run under a
# private X server with a private home, ended with SIGTERM, and the session
# it then saves in its settings (group [Session0]) must hold every decode
# signal, option, channel assignment, view and flag of the setup, as well as
# the decoders the detection chose for each example; its log must show each
# decoder run over all 507,904 samples, and no decode signal left with an
# error. The rows under the traces must differ from those of the same file
# opened without its setup (--no-setup): the decoders' annotations. The
# screenshots are kept for a person to look at.
#   test_pulseview_setup.sh WAVEMILL-EXPORT EXAMPLES-DIR SCREENSHOT-DIR
set -euo pipefail
exporter="$1"
examples="$2"
shots="$3"

# Exit status 77: CTest's skip, unless scripts/test asks for every peer check.
for tool in pulseview xvfb-run import compare; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed (Debian packages pulseview, xvfb, xauth, imagemagick)"
    [ -n "${WAVEMILL_REQUIRE_PEERS:-}" ] && exit 1
    exit 77
  fi
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$shots"
export QT_QPA_PLATFORM=xcb

# What each example's setup must attach, as PulseView saves it.
declare -A expected
expected[uart-hello]='decode_signal0\decoder0\id=uart
decode_signal0\channel0\assigned_signal_name=trace1
decode_signal0\decoder0\option0\name=baudrate
decode_signal0\decoder0\option0\type=x
decode_signal0\decoder0\option0\value=@ByteArray(\x80%\0\0\0\0\0\0)
decode_signal0\decoder0\option1\name=format
decode_signal0\decoder0\option1\value=@ByteArray(ascii\0)'
expected[pwm]='decode_signal0\decoder0\id=uart
decode_signal0\channel0\assigned_signal_name=trace1
decode_signal0\decoder0\option0\value=@ByteArray(\x80%\0\0\0\0\0\0)'
expected[infrared]='decode_signal0\decoder0\id=ir_nec
decode_signal0\channel0\assigned_signal_name=trace1
decode_signal1\decoder0\id=ir_rc5
decode_signal1\channel0\assigned_signal_name=trace2
decode_signal2\decoder0\id=ir_rc6
decode_signal2\channel0\assigned_signal_name=trace3'

names=(uart-hello pwm infrared)
for name in "${names[@]}"; do
  "$exporter" "$examples/$name.ird" -o "$work/$name.sr"
  [ -f "$work/$name.pvs" ] || { echo "FAIL: wavemill-export wrote no $name.pvs"; exit 1; }
done
mkdir "$work/plain"
"$exporter" "$examples/uart-hello.ird" -o "$work/plain/uart-hello.sr" --no-setup
[ ! -e "$work/plain/uart-hello.pvs" ] || { echo "FAIL: --no-setup wrote a setup"; exit 1; }

# Inside the X server: each file in a PulseView of its own (one holding
# several files at once left a decoder idle), with a home of its own, ended
# once its decoders have run through the capture and drawn. PulseView 0.4.2
# with libsigrokdecode 0.5.3 on Python 3.11 now and then crashes, or loses a
# decoder to a SystemError in its thread, when several decode at once, with
# or without a setup: such a run is tried again, a few times, and counted.
cat >"$work/show.sh" <<'INNER'
set -u
attempt() { # SESSION-FILE RUN-DIR DECODERS: 0 when PulseView ran and ended well
  rm -rf "$2" && mkdir -p "$2/runtime" && chmod 700 "$2/runtime"
  HOME="$2" XDG_RUNTIME_DIR="$2/runtime" XDG_CONFIG_HOME="$2/config" \
    pulseview -l 4 "$1" >"$2/log" 2>&1 &
  local pid=$! done=0
  for _ in $(seq 1 160); do
    done=$(grep -c 'Done, handled all samples (abs cur 507904 / abs end 507904)' "$2/log")
    [ "$done" -ge "$3" ] && grep -q 'Acquisition took' "$2/log" && break
    grep -q 'SystemError' "$2/log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.25
  done
  sleep 1 # let it draw the annotations
  import -window root "$2/screen.png"
  kill -TERM "$pid" 2>/dev/null
  wait "$pid"
  local status=$?
  [ "$status" -eq 0 ] && ! grep -q 'SystemError' "$2/log"
}
while [ $# -gt 0 ]; do
  for try in 1 2 3 4; do
    attempt "$1" "$2" "$3" && break
    echo "PulseView crashed or lost a decoder on $(basename "$1") (try $try)" >>"$(dirname "$2")/peer-faults"
  done
  shift 3
done
INNER

runs=("$work/plain/uart-hello.sr" "$work/run-plain" 0)
for name in "${names[@]}"; do
  runs+=("$work/$name.sr" "$work/run-$name" "$(sed -n 's/^decode_signals=//p' "$work/$name.pvs")")
done
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/show.sh" "${runs[@]}"

fail() {
  echo "FAIL: $*"
  exit 1
}
# A setup file's keys as PulseView's settings write a session: group\key=value.
flatten() {
  awk '/^\[/ { group = substr($0, 2, length($0) - 2); next }
       NF { print (group == "General" ? "" : group "\\") $0 }' "$1"
}
# The session PulseView saved when it ended.
session() { # RUN-DIR
  local conf="$1/config/sigrok/PulseView.conf"
  [ -f "$conf" ] || { cat "$1/log"; fail "PulseView saved no session"; }
  sed -n '/^\[Session0\]/,/^\[/p' "$conf" | sed '1d;/^\[/d'
}

for name in "${names[@]}"; do
  run="$work/run-$name"
  session "$run" >"$run/session"
  # Everything the setup holds, loaded: decoders, options, channels, view, flags.
  while IFS= read -r line; do
    case "$line" in decode_signal* | view0\\offset=* | view0\\scale=* | meta_obj*)
      grep -qxF -- "$line" "$run/session" || fail "$name: PulseView did not keep '$line' of the setup" ;;
    esac
  done < <(flatten "$work/$name.pvs")
  while IFS= read -r line; do
    grep -qxF -- "$line" "$run/session" || fail "$name: PulseView's session lacks '$line'"
  done <<<"${expected[$name]}"
  count="$(sed -n 's/^decode_signals=//p' "$work/$name.pvs")"
  grep -qxF "decode_signals=$count" "$run/session" || fail "$name: PulseView holds no $count decode signals"
  done=$(grep -c 'Done, handled all samples (abs cur 507904 / abs end 507904)' "$run/log" || true)
  [ "$done" -ge "$count" ] || { cat "$run/log"; fail "$name: $done of $count decoders ran through the capture"; }
  # A decode signal's error ("No input data" while the file loads) must be cleared.
  while IFS= read -r signal; do
    last="$(grep -F -- "$signal: " "$run/log" | tail -n 1)"
    case "$last" in *': Error cleared') ;; *) fail "$name: $last" ;; esac
  done < <(grep -oE '^"trace[1-3]: [^"]*"' "$run/log" | sort -u)
  cp "$run/screen.png" "$shots/pulseview-$name-setup.png"
done
session "$work/run-plain" >"$work/run-plain/session"
grep -qxF 'decode_signals=0' "$work/run-plain/session" || fail "without its setup PulseView still holds decode signals"

# The rows under the three traces: blank without the setup, annotations with it.
band() { convert "$1" -crop 1000x400+0+260 +repage "$2"; }
band "$work/run-plain/screen.png" "$work/plain-band.png"
band "$work/run-uart-hello/screen.png" "$work/setup-band.png"
differ="$(compare -metric AE "$work/plain-band.png" "$work/setup-band.png" null: 2>&1 || true)"
[ "${differ%% *}" -gt 5000 ] 2>/dev/null ||
  fail "the rows under the traces differ in only ${differ} pixels from the file without its setup"
cp "$work/run-plain/screen.png" "$shots/pulseview-uart-hello-plain.png"
[ -f "$work/peer-faults" ] && cat "$work/peer-faults"
echo "PulseView attached the setups' decoders to uart-hello, pwm and infrared; $differ pixels of annotations; screenshots in $shots"
