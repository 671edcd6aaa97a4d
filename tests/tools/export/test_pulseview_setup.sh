#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# PulseView opens the sample captures' session files, as wavemill-export
# writes them, with the decoders of their setups: run under a private X
# server and home, and ended with SIGTERM, it saves the session it held
# (group [Session0]), which must keep every line of the setup (decoders,
# options, channels, view, flags) and the decoder the detection chose for
# each trace; each decoder must have run through the 507,904 samples with no
# error left, and the rows under the traces must differ from those of the
# file without its setup (--no-setup): the annotations. Screenshots are kept.
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
mkdir -p "$shots" "$work/plain"
export QT_QPA_PLATFORM=xcb
fail() {
  echo "FAIL: $*"
  exit 1
}

# Each example, and the decoder on each trace its setup must attach.
declare -A decoders=([uart-hello]="uart@trace1 pwm@trace2" [pwm]="uart@trace1 pwm@trace2 pwm@trace3"
  [infrared]="ir_nec@trace1 ir_rc5@trace2 ir_rc6@trace3")
runs=()
for name in "${!decoders[@]}"; do
  "$exporter" "$examples/$name.ird" -o "$work/$name.sr"
  runs+=("$work/$name.sr" "$work/run-$name" "$(sed -n 's/^decode_signals=//p' "$work/$name.pvs")")
done
"$exporter" "$examples/uart-hello.ird" -o "$work/plain/uart-hello.sr" --no-setup
runs+=("$work/plain/uart-hello.sr" "$work/run-plain" 0)

# Inside the X server, each file in a PulseView of its own (one holding
# several files left a decoder idle), ended once its decoders have run
# through the capture and drawn. PulseView 0.4.2 with libsigrokdecode 0.5.3
# on Python 3.11 now and then crashes, or loses a decoder to a SystemError in
# its thread, when several decode at once, with or without a setup: such a
# run is tried again, a few times, and counted.
cat >"$work/show.sh" <<'INNER'
set -u
attempt() { # SESSION-FILE RUN-DIR DECODERS: whether PulseView ran and ended well
  rm -rf "$2" && mkdir -p "$2/runtime" && chmod 700 "$2/runtime"
  HOME="$2" XDG_RUNTIME_DIR="$2/runtime" XDG_CONFIG_HOME="$2/config" \
    pulseview -l 4 "$1" >"$2/log" 2>&1 &
  local pid=$!
  for _ in $(seq 1 160); do
    [ "$(grep -c 'Done, handled all samples (abs cur 507904 / abs end 507904)' "$2/log")" -ge "$3" ] &&
      grep -q 'Acquisition took' "$2/log" && break
    grep -q 'SystemError' "$2/log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.25
  done
  sleep 1 # let it draw the annotations
  import -window root "$2/screen.png"
  kill -TERM "$pid" 2>/dev/null
  wait "$pid" && ! grep -q 'SystemError' "$2/log"
}
while [ $# -gt 0 ]; do
  for try in 1 2 3 4; do
    attempt "$1" "$2" "$3" && break
    echo "PulseView crashed or lost a decoder on $(basename "$1") (try $try)" >>"$2.faults"
  done
  shift 3
done
INNER
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/show.sh" "${runs[@]}"

# The session PulseView saved when it ended, and a setup's lines written so.
session() {
  [ -f "$1/config/sigrok/PulseView.conf" ] || { cat "$1/log"; fail "PulseView saved no session"; }
  sed -n '/^\[Session0\]/,/^\[/p' "$1/config/sigrok/PulseView.conf" | sed '1d;/^\[/d'
}
flatten() {
  awk '/^\[/ { group = substr($0, 2, length($0) - 2); next }
       NF { print (group == "General" ? "" : group "\\") $0 }' "$1"
}
for name in "${!decoders[@]}"; do
  run="$work/run-$name"
  session "$run" >"$run/session"
  while IFS= read -r line; do
    case "$line" in decode_signal* | view0\\offset=* | view0\\scale=* | meta_obj*)
      grep -qxF -- "$line" "$run/session" || fail "$name: PulseView did not keep '$line' of the setup" ;;
    esac
  done < <(flatten "$work/$name.pvs")
  i=0
  for decoder in ${decoders[$name]}; do
    grep -qxF "decode_signal$i\\decoder0\\id=${decoder%@*}" "$run/session" &&
      grep -qxF "decode_signal$i\\channel0\\assigned_signal_name=${decoder#*@}" "$run/session" ||
      fail "$name: PulseView holds no ${decoder%@*} on ${decoder#*@}"
    i=$((i + 1))
  done
  grep -qxF "decode_signals=$i" "$run/session" || fail "$name: PulseView holds other than $i decode signals"
  done=$(grep -c 'Done, handled all samples (abs cur 507904 / abs end 507904)' "$run/log" || true)
  [ "$done" -ge "$i" ] || fail "$name: $done of $i decoders ran through the capture"
  # An error of a decode signal ("No input data" while the file loads) must be cleared.
  while IFS= read -r signal; do
    last="$(grep -F -- "$signal: " "$run/log" | tail -n 1)"
    case "$last" in *': Error cleared') ;; *) fail "$name: $last" ;; esac
  done < <(grep -oE '^"trace[1-3]: [^"]*"' "$run/log" | sort -u)
  cp "$run/screen.png" "$shots/pulseview-$name-setup.png"
done
session "$work/run-plain" | grep -qxF 'decode_signals=0' || fail "without its setup PulseView holds decode signals"

# The rows under the three traces: blank without the setup, annotations with it.
for run in plain uart-hello; do
  convert "$work/run-$run/screen.png" -crop 1000x400+0+260 +repage "$work/$run-band.png"
done
differ="$(compare -metric AE "$work/plain-band.png" "$work/uart-hello-band.png" null: 2>&1 || true)"
[ "${differ%% *}" -gt 5000 ] 2>/dev/null || fail "the rows under the traces differ in only $differ pixels without the setup"
cat "$work"/run-*.faults 2>/dev/null || true
echo "PulseView attached the setups' decoders to ${!decoders[*]}; $differ pixels of annotations; screenshots in $shots"
