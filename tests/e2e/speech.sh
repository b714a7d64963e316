#!/usr/bin/env bash
# The text-to-speech window: its shortcut opens it, two typed lines are read when Enter is pressed.
# And a second copy started meanwhile ends at once, quietly.
source "$(dirname "$0")/desktop.sh"
start_lectryn

HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_RUNTIME_DIR=$WORK/run \
  timeout 20 "$LECTRYN" --voice scripted --audio none --trace "$WORK/second.jsonl" "$PAGE" >"$WORK/second.txt" 2>&1 ||
  fail "a second copy did not end by itself, or failed: $(cat "$WORK/second.txt")"
[ ! -s "$WORK/second.txt" ] || fail "a second copy said something: $(cat "$WORK/second.txt")"
grep -q '"shown":true' "$WORK/second.jsonl" && fail "a second copy showed a window"

MAIN=$(window_named '^Lectryn$')
[ -n "$MAIN" ] || fail "no main window"
# Without a window manager nothing gives a window the keyboard but asking the X server.
xdotool windowfocus --sync "$MAIN"
sleep 0.3
xdotool key ctrl+s
wait_for 'grep -q "\"name\":\"frmTextToSpeech\",\"shown\":true" "$TRACE"' 10 ||
  fail "Ctrl+S did not open the text-to-speech window"
SPEECH=$(window_named '^Text-To-Speech$')
[ -n "$SPEECH" ] || fail "no text-to-speech window on screen"
xdotool windowfocus --sync "$SPEECH"
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 20 "Good morning to you"
xdotool key ctrl+Return
xdotool type --delay 20 "Here is the second line"
xdotool key Return
wait_for '[ "$(spoken_words | wc -l)" -ge 9 ]' 20 || fail "the typed lines were not read"
spoken_words | cut -d'|' -f1 | tr '\n' ' ' | grep -q 'Good morning to you Here is the second line' ||
  fail "the typed lines were not spoken in order: $(spoken_words | cut -d'|' -f1 | tr '\n' ' ')"
echo "ok: both typed lines spoken"
