#!/usr/bin/env bash
# A browser that stops answering (SIGSTOP) in the middle of a drag costs each move at most the
# bounded wait: the program stays usable, and once the browser runs again a drag reads its page.
# Stopped again while its page is read, the reading goes on and its words are selected again once
# it runs.
#   browser-stopped.sh LECTRYN LECTRYN_AX PAGE
AX=${2:?usage: $0 LECTRYN LECTRYN_AX PAGE}
set -- "$1" "$3"
source "$(dirname "$0")/desktop.sh"
: "${LECTRYN_BROWSER_PID:?run through browser-session}"
readonly kMoves=5

start_lectryn alone
read -r px py pw ph <<<"$("$AX" extents 'The quick brown fox')" || fail "no first paragraph in the browser"
press_and_move_to $((px + 40)) $((py + ph / 2))
wait_for 'grep -q "\"event\":\"outline\"" "$TRACE"' 10 || fail "no outline while over the browser's paragraph"

kill -STOP "$LECTRYN_BROWSER_PID"
started=$SECONDS
for step in $(seq $kMoves); do
  xdotool mousemove $((px + 40 + step * 30)) $((py + ph / 2 + step * 40))
  sleep 0.1
done
xdotool mouseup 1
# The program answers the keyboard again after one bounded wait (1 s): the moves after the first
# that timed out fail at once. The rest is the moves' own pace and slack for slow builds.
readonly kAnswerSeconds=5
MAIN=$(window_named '^Lectryn$')
xdotool windowfocus --sync "$MAIN"
xdotool key ctrl+s
wait_for 'grep -q "\"name\":\"frmTextToSpeech\",\"shown\":true" "$TRACE"' $kAnswerSeconds ||
  fail "the program did not answer within $kAnswerSeconds s while the browser was stopped"
echo "answered $((SECONDS - started)) s after the browser stopped"
# Out of the way of the next drag.
xdotool windowmove "$(window_named '^Text-To-Speech$')" 700 700
kill -CONT "$LECTRYN_BROWSER_PID"
sleep 1

# Running again, the browser's page is read as before.
press_and_move_to $((px + 40)) $((py + ph / 2))
sleep 1
xdotool mouseup 1
wait_for 'grep -q "\"word\":\"quick\"" "$TRACE"' 20 || fail "the page was not read once the browser ran again"

# Stopped in the middle of the reading, the browser takes no highlight: the reading goes on, the
# trace and (once) the program say so, and once the browser runs again its words are selected again.
kill -STOP "$LECTRYN_BROWSER_PID"
wait_for 'grep -q "\"event\":\"highlight-failed\"" "$TRACE"' 10 || fail "no failed highlight was traced"
words_when_stopped=$(count_of '"event":"word"')
sleep 2
kill -CONT "$LECTRYN_BROWSER_PID"
sleep 0.5
[ "$(count_of '"event":"word"')" -gt "$words_when_stopped" ] || fail "the reading stopped with the browser"
wait_for 'grep -q "\"word\":\"here\"" "$TRACE"' 60 || fail "reading did not go on to the end of the page"
told=$(grep -c "did not take the highlight" "$WORK/out.txt" || true)
[ "$told" -eq 1 ] || fail "the failed highlights were told $told times, not once: $(cat "$WORK/out.txt")"
# The words after the one whose highlight failed last were all selected there.
last_failed=$(grep -n '"event":"highlight-failed"' "$TRACE" | tail -n 1 | cut -d: -f1)
sed -n "$((last_failed + 1)),\$p" "$TRACE" | words_held | tail -n +2 >"$WORK/held.txt"
again=$(wc -l <"$WORK/held.txt")
[ "$again" -ge 10 ] || fail "only $again words were read after the browser ran again"
missed=$(words_not_held <"$WORK/held.txt")
[ -z "$missed" ] || fail "once it ran again the browser did not select these words (word: what it held instead): $missed"
holds_last_word "$(tail -n 1 "$WORK/held.txt" | cut -d'|' -f1)"
echo "ok: a stopped browser did not hang the program nor the reading; its words were selected once it ran again"
