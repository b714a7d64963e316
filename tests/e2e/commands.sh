#!/usr/bin/env bash
# Commands given to the running program by second starts, as keys bound in the desktop's settings
# run them: pause, resume, next and previous sentence and stop act on a reading in progress; a second
# start without a command ends quietly; a command with no copy running says so and fails, except
# reading the selection, which starts the program.
source "$(dirname "$0")/desktop.sh"

word_count() {
  count_of '"event":"word"'
}
# How many times the word $1 was spoken.
times_spoken() {
  spoken_words | cut -d'|' -f1 | grep -cxF -- "$1" || true
}
holds_still() {
  local before
  before=$(word_count)
  sleep 1.5
  [ "$(word_count)" -eq "$before" ] || fail "words were heard after $1: $before, then $(word_count)"
}

# Nothing runs in a session of its own: a command fails and says why, with no window.
mkdir -p "$WORK/empty-run"
chmod 700 "$WORK/empty-run"
if second_start "$WORK/empty-run" --stop; then fail "--stop with no Lectryn running succeeded"; fi
grep -q "not running" "$WORK/second.txt" || fail "--stop did not say Lectryn is not running: $(cat "$WORK/second.txt")"

start_lectryn
drag_onto_first_paragraph 'Reading test'
wait_for '[ "$(word_count)" -ge 2 ]' 10 || fail "the picked paragraph was not read"

command_to_lectryn --pause
wait_for 'grep -q "\"event\":\"pause\"" "$TRACE"' 5 || fail "--pause did not pause"
holds_still "--pause"
command_to_lectryn --resume
wait_for 'grep -q "\"event\":\"resume\"" "$TRACE"' 5 || fail "--resume did not resume"
before=$(word_count)
wait_for '[ "$(word_count)" -gt '"$before"' ]' 5 || fail "the reading did not go on after --resume"

# Well inside the first sentence: the next one starts with "It", and the first one's end is never heard.
command_to_lectryn --next-sentence
wait_for '[ "$(times_spoken It)" -ge 1 ]' 5 || fail "--next-sentence did not go to the next sentence"
[ "$(times_spoken reads)" -eq 0 ] || fail "--next-sentence let the rest of the sentence be read"

# Back to a sentence's start: "It" again, or "Every" where the second sentence had only begun.
starts=$(($(times_spoken It) + $(times_spoken Every)))
command_to_lectryn --previous-sentence
wait_for '[ $(($(times_spoken It) + $(times_spoken Every))) -gt '"$starts"' ]' 5 ||
  fail "--previous-sentence did not go back to a sentence's start"

command_to_lectryn --stop
wait_for 'grep -q "\"event\":\"stop\"" "$TRACE"' 5 || fail "--stop did not stop"
holds_still "--stop"

# A second start without a command ends at once and quietly, whatever it is given.
second_start "$WORK/run" --voice scripted "$PAGE" || fail "a second start failed: $(cat "$WORK/second.txt")"
[ ! -s "$WORK/second.txt" ] || fail "a second start said something: $(cat "$WORK/second.txt")"
kill -0 "$PID" || fail "the first copy ended"

# With no copy running, reading the selection starts one, which then takes commands.
kill "$PID"
wait "$PID" || true
PID=
TRACE=$WORK/started.jsonl
HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_RUNTIME_DIR=$WORK/run QT_QPA_PLATFORM=xcb \
  "$LECTRYN" --read-selection --voice scripted --audio none --trace "$TRACE" >"$WORK/out.txt" 2>&1 &
PID=$!
wait_for 'grep -q "\"name\":\"frmMain\",\"shown\":true" "$TRACE" 2>/dev/null' 20 ||
  fail "--read-selection did not start Lectryn"
command_to_lectryn --read-selection
command_to_lectryn --stop
kill -0 "$PID" || fail "the copy started by --read-selection ended"
echo "ok: pause, resume, next and previous sentence and stop by second starts; a copy started to read the selection"
