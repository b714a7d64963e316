#!/usr/bin/env bash
# A person's drag: press on the main window's banner, move over a paragraph of the page window,
# release. The outline is drawn while over the page, and then the paragraph is read, each word
# selected in the page as it is spoken, in order, on to the end of the page.
source "$(dirname "$0")/desktop.sh"
start_lectryn

[ -n "$(window_named '^Lectryn$')" ] || fail "no main window"
[ -n "$(window_named 'Reading test')" ] || fail "no page window titled by its page"
drag_onto_first_paragraph 'Reading test'

wait_for '[ "$(spoken_words | wc -l)" -ge 12 ]' 20 || fail "the paragraph was not read"
# Words in the order the page has them, each one selected as it is spoken.
spoken_words | head -n 12 | tr '|' ' ' | awk '{ if ($1 != $2) { print "word " $1 " selected as " $2; bad = 1 } } END { exit bad }' ||
  fail "a spoken word was not the selected one"
spoken_words | head -n 7 | cut -d'|' -f1 | tr '\n' ' ' | grep -q '^Every word of this paragraph is spoken ' ||
  fail "the paragraph's first words were not spoken first: $(spoken_words | head -n 6 | tr '\n' ' ')"
wait_for 'grep -q "Last" "$TRACE"' 40 || fail "reading did not go on to the end of the page"
echo "ok: outline drawn, $(spoken_words | wc -l) words spoken and selected in order"
