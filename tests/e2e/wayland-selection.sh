#!/usr/bin/env bash
# Reading what the user selected in a program on Wayland, or from its caret (run through
# wayland-session; Lectryn itself runs on XWayland). The selection and the caret are set through
# the accessibility bus, as a person's click or drag would set them; Ctrl+R goes to the main window.
#   wayland-selection.sh LECTRYN LECTRYN_AX KIND FILE
#     KIND page: a browser's page (browser.htm): a selection in one paragraph is read first, with
#                each word held selected by the browser; then from a caret on to the end of the page.
#     KIND text: a text view: the selection is read, each word selected in the view.
#     KIND pdf:  a document viewer: the selection is read, each word selected in the viewer.
AX=${2:?usage: $0 LECTRYN LECTRYN_AX KIND FILE}
KIND=${3:?usage: $0 LECTRYN LECTRYN_AX KIND FILE}
set -- "$1" "$4"
source "$(dirname "$0")/desktop.sh"

# Ctrl+R on the main window (sent to it: XWayland takes no made-up input from outside), or the
# command a desktop's key binding runs when $2 is "command"; waits for the next speak event and
# prints its text.
read_selection() {
  local before
  before=$(count_of '"event":"speak"')
  if [ "${2:-}" = command ]; then
    command_to_lectryn --read-selection
  else
    xdotool key --window "$MAIN" ctrl+r
  fi
  wait_for '[ "$(count_of "\"event\":\"speak\"")" -gt '"$before"' ]' 20 || fail "Ctrl+R read nothing ($1)"
  spoken_texts | sed -n "$((before + 1))p"
}

# Waits for $2 words spoken since trace line $1, each held selected by the program.
check_words_held() {
  wait_for '[ "$(tail -n +'"$1"' "$TRACE" | grep -c "\"event\":\"word\"")" -ge '"$2"' ]' 30 ||
    fail "fewer than $2 words spoken ($3)"
  tail -n +"$1" "$TRACE" | words_held >"$WORK/held.txt"
  local missed
  missed=$(words_not_held <"$WORK/held.txt")
  [ -z "$missed" ] || fail "the program did not select these spoken words ($3): $missed"
}

# Selects characters [$2, $3) of the object whose text starts with $1, reads the selection (through
# the command when $6 is "command"), and checks that the first piece read is $4 and that $5 spoken
# words were each held selected by the program.
read_selected() {
  "$AX" select "$1" "$2" "$3" || fail "the program refused the selection"
  sleep 0.5
  local from first
  from=$(($(wc -l <"$TRACE") + 1))
  first=$(read_selection selection "${6:-}")
  [ "$first" = "$4" ] || fail "the selection was read as \"$first\""
  check_words_held "$from" "$5" selection
}

start_lectryn alone
MAIN=$(window_named '^Lectryn$')
[ -n "$MAIN" ] || fail "no main window"

case "$KIND" in
  page)
    read_selected 'The quick brown fox' 4 19 "quick brown fox" 3
    # The reading goes on past the selection; the user stops it, then puts the caret elsewhere.
    command_to_lectryn --stop
    "$AX" caret 'A password field follows' 2 || fail "the browser refused the caret"
    sleep 0.5
    from=$(($(wc -l <"$TRACE") + 1))
    first=$(read_selection caret command)
    [[ "$first" == "password field follows"* ]] || fail "reading from the caret began with \"$first\""
    wait_for 'grep -q "\"word\":\"here\"" "$TRACE"' 60 || fail "reading from the caret did not go on to the end"
    check_words_held "$from" 20 caret
    ;;
  text) read_selected 'First line' 6 10 "line" 5 ;;
  pdf) read_selected 'Lectryn reads' 0 26 "Lectryn reads the selected" 4 command ;;
  *) fail "unknown kind $KIND" ;;
esac
echo "ok: $KIND read from the program's selection$([ "$KIND" = page ] && echo " and caret")"
