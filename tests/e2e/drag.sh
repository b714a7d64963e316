#!/usr/bin/env bash
# A person's drag: press on the main window's banner, move over a paragraph of the page window,
# release. The outline is drawn while over the page, and then the paragraph is read, each word
# selected in the page as it is spoken, in order, on to the end of the page.
source "$(dirname "$0")/desktop.sh"
start_lectryn

MAIN=$(window_named '^Lectryn$')
PAGEWIN=$(window_named 'Reading test')
[ -n "$MAIN" ] || fail "no main window"
[ -n "$PAGEWIN" ] || fail "no page window titled by its page"
geometry_of "$MAIN"
MAIN_X=$X MAIN_Y=$Y MAIN_W=$W MAIN_H=$H
geometry_of "$PAGEWIN"
# The banner fills the bottom of the main window; the paragraph the top of the page, below the bars.
FROM_X=$((MAIN_X + MAIN_W / 2)) FROM_Y=$((MAIN_Y + MAIN_H - 30))
TO_X=$((X + W / 2)) TO_Y=$((Y + 120))

xdotool mousemove "$FROM_X" "$FROM_Y"
sleep 0.3
xdotool mousedown 1
sleep 0.2
for step in 1 2 3 4 5 6 7 8; do
  xdotool mousemove $((FROM_X + (TO_X - FROM_X) * step / 8)) $((FROM_Y + (TO_Y - FROM_Y) * step / 8))
  sleep 0.1
done
wait_for 'grep -q "\"event\":\"outline\"" "$TRACE"' 5 || fail "no outline while over the paragraph"
xdotool mouseup 1

wait_for '[ "$(spoken_words | wc -l)" -ge 12 ]' 20 || fail "the paragraph was not read"
# Words in the order the page has them, each one selected as it is spoken.
spoken_words | head -n 12 | tr '|' ' ' | awk '{ if ($1 != $2) { print "word " $1 " selected as " $2; bad = 1 } } END { exit bad }' ||
  fail "a spoken word was not the selected one"
spoken_words | head -n 7 | cut -d'|' -f1 | tr '\n' ' ' | grep -q '^Every word of this paragraph is spoken ' ||
  fail "the paragraph's first words were not spoken first: $(spoken_words | head -n 6 | tr '\n' ' ')"
wait_for 'grep -q "Last" "$TRACE"' 40 || fail "reading did not go on to the end of the page"
echo "ok: outline drawn, $(spoken_words | wc -l) words spoken and selected in order"
