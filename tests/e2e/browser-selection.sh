#!/usr/bin/env bash
# Reading from the user's own browser without a drag (run through browser-session, under
# xvfb-run): a selection made before Lectryn runs is read by the command that starts it; a click puts the caret in a paragraph and Ctrl+R on the main window reads from there
# to the end of the page; then a selection made by dragging over two paragraphs is read, from its
# first word. Each spoken word is the one the browser holds selected.
#   browser-selection.sh LECTRYN LECTRYN_AX PAGE
AX=${2:?usage: $0 LECTRYN LECTRYN_AX PAGE}
set -- "$1" "$3"
source "$(dirname "$0")/desktop.sh"

# Ctrl+R on the main window, then waits for the next speak event; prints its text.
read_selection() {
  local before
  before=$(count_of '"event":"speak"')
  keys_to "$MAIN" ctrl+r
  wait_for '[ "$(count_of "\"event\":\"speak\"")" -gt '"$before"' ]' 20 || fail "Ctrl+R read nothing ($1)"
  spoken_texts | sed -n "$((before + 1))p"
}

# Every word spoken since line $1 of the trace was held selected by the browser.
check_words_held() {
  tail -n +"$1" "$TRACE" | words_held >"$WORK/held.txt"
  local missed
  missed=$(words_not_held <"$WORK/held.txt")
  [ -z "$missed" ] || fail "the browser did not select these spoken words ($2): $missed"
  [ "$(wc -l <"$WORK/held.txt")" -ge 3 ] || fail "too few words spoken ($2)"
}

read -r px py pw ph <<<"$("$AX" extents 'The quick brown fox')" || fail "no first paragraph in the browser"
read -r qx qy qw qh <<<"$("$AX" extents 'A password field follows')" || fail "no second paragraph in the browser"

# A key bound to the command starts Lectryn, which has heard of no selection yet: the browser's
# window is the active one, and its page is asked.
"$AX" select 'The quick brown fox' 4 19 || fail "the browser refused the selection"
start_lectryn reading
wait_for '[ "$(count_of "\"event\":\"speak\"")" -ge 1 ]' 20 || fail "the starting command read nothing"
first=$(spoken_texts | head -n 1)
[ "$first" = "quick brown fox" ] || fail "the selection before the start was read as \"$first\""
wait_for '[ "$(count_of "\"event\":\"word\"")" -ge 3 ]' 20 || fail "the selection's words were not spoken"
command_to_lectryn --stop
check_words_held 1 "selection before the start"
# The highlight scrolled the page: back to its top, where the paragraphs were measured.
keys_to "$LECTRYN_BROWSER_WINDOW" ctrl+Home
wait_for '[ "$("$AX" extents "The quick brown fox" | cut -d" " -f2)" = "$py" ]' 10 ||
  fail "the page did not scroll back to its top"
MAIN=$(window_named '^Lectryn$')
[ -n "$MAIN" ] || fail "no main window"

# The caret, put at the start of the second paragraph by a click.
xdotool mousemove $((qx + 1)) $((qy + qh / 2)) click 1
sleep 0.5
from=$(($(wc -l <"$TRACE") + 1))
first=$(read_selection "caret")
[[ "$first" == "A password field follows"* ]] || fail "reading from the caret began with \"$first\""
wait_for 'grep -q "\"word\":\"here\"" "$TRACE"' 60 || fail "reading from the caret did not go on to the end of the page"
check_words_held "$from" "caret"
sleep 0.5

# A selection dragged from the first paragraph's start into the second paragraph, back at the
# top of the page.
keys_to "$LECTRYN_BROWSER_WINDOW" ctrl+Home
wait_for '[ "$("$AX" extents "The quick brown fox" | cut -d" " -f2)" = "$py" ]' 10 ||
  fail "the page did not scroll back to its top"
xdotool mousemove $((px + 1)) $((py + ph / 2)) mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove $((px + 1 + (qx + 160 - px) * step / 6)) $((py + ph / 2 + (qy - py) * step / 6))
  sleep 0.1
done
xdotool mouseup 1
sleep 0.5
from=$(($(wc -l <"$TRACE") + 1))
first=$(read_selection "selection")
[[ "$first" == "The quick brown fox jumps over the lazy dog near the river bank."*"A password"* ]] ||
  fail "the selection was read as \"$first\""
[[ "$first" != *"is never read aloud"* ]] || fail "more than the selection was read first: \"$first\""
wait_for '[ "$(tail -n +"$from" "$TRACE" | grep -c "\"event\":\"word\"")" -ge 14 ]' 30 ||
  fail "the selection's words were not spoken"
check_words_held "$from" "selection"
echo "ok: read from the caret and from a selection, every word selected in the browser"
