#!/usr/bin/env bash
# A drag onto a page in the user's own browser (run through browser-session, under xvfb-run): the
# paragraph under the pointer is outlined, then read on to the end of the page, and the browser's
# own selection steps through the spoken words as the page scrolls with the voice. The password
# field's value is never spoken nor selected.
#   browser.sh LECTRYN LECTRYN_AX PAGE
AX=${2:?usage: $0 LECTRYN LECTRYN_AX PAGE}
set -- "$1" "$3"
source "$(dirname "$0")/desktop.sh"
readonly kWindowBottom=900 kSecret=hunter2secret

# "x y width height" on the screen of the browser's object whose text starts with $1.
extents_of() {
  "$AX" extents "$1"
}

start_lectryn alone
read -r fx fy fw fh <<<"$(extents_of 'This paragraph lies far below')" || fail "no far paragraph in the browser"
[ "$fy" -ge "$kWindowBottom" ] || fail "the far paragraph is on screen before reading ($fy)"
read -r px py pw ph <<<"$(extents_of 'The quick brown fox')" || fail "no first paragraph in the browser"
"$AX" watch-selection 90 >"$WORK/selections.txt" 2>"$WORK/watch.txt" &
WATCH=$!
HELPERS+=("$WATCH")
press_and_move_to $((px + 40)) $((py + ph / 2))
wait_for 'grep -q "\"event\":\"outline\"" "$TRACE"' 10 || fail "no outline while over the browser's paragraph"
xdotool mouseup 1
wait_for 'grep -q "\"word\":\"here\"" "$TRACE"' 60 || fail "reading did not go on to the end of the page"
sleep 0.5
kill "$WATCH" 2>/dev/null || true
wait "$WATCH" 2>/dev/null || true

# Every spoken word, in order, was what the browser held selected when the program asked it for
# the next one; the last word is what it holds at the end.
words_held <"$TRACE" >"$WORK/held.txt"
total=$(wc -l <"$WORK/held.txt")
[ "$total" -ge 40 ] || fail "only $total words spoken"
missed=$(words_not_held <"$WORK/held.txt")
[ -z "$missed" ] || fail "the browser did not select these spoken words (word: what it held instead): $missed"
holds_last_word "$(tail -n 1 "$WORK/held.txt" | cut -d'|' -f1)"
! grep -q "did not take the highlight" "$WORK/out.txt" || fail "a highlight failed: $(cat "$WORK/out.txt")"

read -r fx fy fw fh <<<"$(extents_of 'This paragraph lies far below')"
[ "$fy" -lt "$kWindowBottom" ] || fail "the page did not scroll to the far paragraph ($fy)"
! grep -q "$kSecret" "$TRACE" "$WORK/selections.txt" || fail "the password was read or selected"
echo "ok: all $total spoken words selected in the browser, in order; the page scrolled"
