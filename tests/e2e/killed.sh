#!/usr/bin/env bash
# The program killed while it reads leaves nothing behind that stops the next start: the next copy
# opens its windows and reads, and its settings are whole.
source "$(dirname "$0")/desktop.sh"
start_lectryn
drag_onto_first_paragraph 'Reading test'
wait_for '[ "$(spoken_words | wc -l)" -ge 3 ]' 10 || fail "the first copy did not read"
kill -KILL "$PID"
wait "$PID" 2>/dev/null || true
PID=
mv "$TRACE" "$WORK/first.jsonl"

start_lectryn
[ -n "$(window_named '^Lectryn$')" ] || fail "the next copy shows no main window"
drag_onto_first_paragraph 'Reading test'
wait_for '[ "$(spoken_words | wc -l)" -ge 3 ]' 10 || fail "the next copy did not read"
echo "ok: a killed copy did not stop the next one"
