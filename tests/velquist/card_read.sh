#!/usr/bin/env bash
# A card read from end to end: a script records through the control while a synthesized swipe
# is played into the sound input; GetTrack2 must give the card's text, and the console must show
# the recording's lines in order.
# usage: card_read.sh WINE_RUN SWIPE_PLAY SCRIPT_WINPATH TEXT [swipe_play options...]
set -u
wine_run=$1 swipe_play=$2 script=$3 text=$4
shift 4
out=$(mktemp)
trap 'rm -f "$out"' EXIT

"$wine_run" cscript //nologo "$script" 7000 >"$out" &
reader=$!
for _ in $(seq 300); do grep -q "starting the recording" "$out" && break; sleep 0.1; done
# Wine's capture begins a second or so after the start: play well inside the first buffer.
"$wine_run" "$swipe_play" --text "$text" --delay-ms 1500 "$@" || { echo "swipe_play failed"; exit 1; }
wait $reader
status=$?
log=$(tr -d '\r' <"$out")
printf '%s\n' "$log"
[ $status -eq 0 ] || { echo "cscript exited with $status"; exit 1; }

fail=0
got=$(sed -n 's/^Track 2: \[\(.*\)\]$/\1/p' <<<"$log")
if [ "$got" != "$text" ]; then
  echo "GetTrack2 gave [$got], the card holds [$text]"
  fail=1
fi
# The recording's own lines, decoder lines left out: the worker starts, the buffer with the swipe
# is decoded and handed back, and GetTrack2's stop returns the buffer being filled, decoded
# with what it holds (nothing of a card).
lines=$(grep -E '^(Recording\.\.\.|Decoded: \[.*\] |Recording stopped\.\.\.|Error: .*|ERROR EXCEPTION: .*)$' <<<"$log")
expected=$(printf 'Recording...\nDecoded: [%s] \nRecording stopped...\nDecoded: [] \nRecording stopped...' "$text")
if [ "$lines" != "$expected" ]; then
  echo "console lines differ; expected:"
  printf '%s\n' "$expected"
  fail=1
fi
grep -qxF "Temp decoded: $text" <<<"$log" ||
  { echo "no 'Temp decoded: ' line of the card"; fail=1; }
exit $fail
