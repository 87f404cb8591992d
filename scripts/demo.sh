#!/usr/bin/env bash
# The main job: the two controls at work, driven by scripts under Wine as a host would drive them.
#
#   bash scripts/demo.sh                 a synthesized card swipe read through the sound input,
#                                        then a finger touching the simulated scanner
#   bash scripts/demo.sh --card FILE     the same with a recording of your own (any WAV file)
#
# Builds everything, registers the servers in a private Wine prefix (build/demo), starts a
# private sound server whose input records what is played into it, plays the swipe while a
# JScript host records through the card-swipe control, and prints the Track 2 text it read.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

card_file=""
card_text=";4111111111111111=2512101?"
while [ $# -gt 0 ]; do
  case "$1" in
    --card) card_file=$(realpath "${2:?--card needs a file}"); shift 2 ;;
    *) echo "usage: demo.sh [--card FILE.wav]" >&2; exit 2 ;;
  esac
done
if [ -n "$card_file" ] && [ ! -r "$card_file" ]; then
  echo "demo: cannot read $card_file" >&2
  exit 2
fi

bash scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
echo "demo: building (native and Windows)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs" >/dev/null

demo=$root/build/demo
mkdir -p "$demo"
export WINE_STATE_DIR=$demo/wine PULSE_STATE_DIR=$demo/pulse
wine_run=$root/build/win32/wine-run
winpath() { printf 'Z:%s' "${1//\//\\}"; }

cleanup() {
  "$root/build/win32/pulse-session" stop >/dev/null 2>&1 || true
  "$root/build/win32/wine-session" stop >/dev/null 2>&1 || true
}
trap cleanup EXIT
"$root/build/win32/wine-session" start
"$root/build/win32/pulse-session" start
export PULSE_SERVER="unix:$PULSE_STATE_DIR/run/pulse/native"

echo "demo: registering Velquist.dll in $WINE_STATE_DIR/prefix"
"$wine_run" regsvr32 /s "$(winpath "$root/build/win32/swipe/Velquist.dll")"

if [ -z "$card_file" ]; then
  card_file=$demo/swipe.wav
  "$root/build/native/tools/track2/track2" synth --text "$card_text" --period 24 --noise 120 \
    -o "$card_file"
  echo "demo: synthesized a swipe of $card_text into $card_file"
fi

echo "demo: a JScript host records through the control; the swipe is played into the input"
out=$demo/read_card.out
"$wine_run" cscript //nologo "$(winpath "$root/scripts/host/read_card.js")" 7000 >"$out" &
reader=$!
for _ in $(seq 300); do grep -q "starting the recording" "$out" && break; sleep 0.1; done
sleep 1.5   # the input starts recording a second or so after the start
paplay -d line "$card_file"
wait $reader
tr -d '\r' <"$out" | grep -v '^Temp decoded: '
text=$(tr -d '\r' <"$out" | sed -n 's/^Track 2: \[\(.*\)\]$/\1/p')
echo
if [ -n "$text" ]; then
  echo "Card read through the control: $text"
else
  echo "No card was read."
fi

echo
echo "demo: the fingerprint control, the simulated scanner standing in for the vendor's SDK"
"$wine_run" regsvr32 /s "$(winpath "$root/build/win32/fingersim/server/FingerSdkSim.dll")"
"$wine_run" regsvr32 /s "$(winpath "$root/build/win32/fingerprint/QuorvaneBiometric.dll")"
echo "demo: a JScript host creates the control and lets one finger touch the scanner four times"
"$wine_run" cscript //nologo "$(winpath "$root/scripts/host/touch_finger.js")" 4 | tr -d '\r'
echo
echo "demo: Wine's script host cannot take events; a compiled host (finger_host) listens to them"
"$wine_run" "$(winpath "$root/build/win32/tools/fingerhost/finger_host.exe")" --touches 2 --finger 1 |
  tr -d '\r'
images=$WINE_STATE_DIR/prefix/drive_c/FingerImage
if cp "$images/FingerImage.bmp" "$images/FingerImage.jpg" "$demo/" 2>/dev/null; then
  echo
  echo "The last touch's image files, copied out of the prefix ($images):"
  echo "  $demo/FingerImage.bmp"
  echo "  $demo/FingerImage.jpg"
else
  echo "No image files were written."
fi
