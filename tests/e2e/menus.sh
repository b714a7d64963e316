#!/usr/bin/env bash
# Every command of the main window's menus on the desktop, reached by its shortcut or through the
# menu with the keyboard: the continue switch, Start, Next Sentence, Stop, Getting Going, About,
# Open Page, Make a Suggestion, the forum, Check For Update, Text to speech.
source "$(dirname "$0")/desktop.sh"
# A stand-in for the desktop's handler of addresses records what it is handed.
mkdir -p "$WORK/bin"
printf '#!/bin/sh\necho "$1" >> "%s"\n' "$WORK/opened.txt" >"$WORK/bin/xdg-open"
chmod +x "$WORK/bin/xdg-open"
export PATH="$WORK/bin:$PATH"
start_lectryn
MAIN=$(window_named '^Lectryn$')
[ -n "$MAIN" ] || fail "no main window"

# Continue switch off (Ctrl+F): a picked paragraph is read and nothing after it.
keys_to "$MAIN" ctrl+f
drag_onto_first_paragraph 'Reading test'
wait_for '[ "$(spoken_words | wc -l)" -ge 2 ]' 10 || fail "the picked paragraph was not read"
# Next Sentence (Ctrl+T): the voice goes on with the paragraph's second sentence.
keys_to "$MAIN" ctrl+t
wait_for 'spoken_words | cut -d"|" -f1 | grep -qx "goes"' 10 || fail "Next Sentence did not reach the next sentence"
spoken_words | cut -d'|' -f1 | grep -qx 'reads' && fail "Next Sentence read the rest of the first sentence"
wait_for '[ "$(count_of "\"event\":\"end\"")" -ge 1 ]' 20 || fail "the paragraph's reading did not end"
sleep 1.5
[ "$(count_of '"event":"speak"')" -eq 1 ] || fail "with the continue switch off the reading went on"

# Start (Ctrl+N) reads the picked text again; Stop (Narration > S&top) ends it.
keys_to "$MAIN" ctrl+n
wait_for '[ "$(count_of "\"event\":\"speak\"")" -ge 2 ]' 10 || fail "Start did not read again"
keys_to "$MAIN" alt+n t
sleep 0.6
words=$(spoken_words | wc -l)
sleep 1.5
[ "$(spoken_words | wc -l)" -eq "$words" ] || fail "Stop did not stop the voice"

# Getting Going (F1): the help window opens and reads its page.
keys_to "$MAIN" F1
wait_for 'grep -q "\"name\":\"frmHelp\",\"shown\":true" "$TRACE"' 10 || fail "F1 did not open the help window"
wait_for 'grep -q "\"event\":\"speak\",\"text\":\"Getting going" "$TRACE"' 10 || fail "the help page was not read"
keys_to "$MAIN" Escape

# About (Ctrl+B): the about box, closed by Enter on its OK button.
keys_to "$MAIN" ctrl+b
wait_for 'grep -q "\"name\":\"frmAbout\",\"shown\":true" "$TRACE"' 10 || fail "Ctrl+B did not open the about box"
keys_to "$(window_named '^About Lectryn$')" Return
wait_for 'grep -q "\"name\":\"frmAbout\",\"shown\":false" "$TRACE"' 10 || fail "the about box did not close"

# Open Page (Ctrl+O): the typed file opens in a page window of its own.
pages=$(count_of '"name":"page","shown":true')
keys_to "$MAIN" ctrl+o
sleep 0.5
xdotool type --delay 10 "$PAGE"
xdotool key Return
wait_for '[ "$(count_of "\"name\":\"page\",\"shown\":true")" -gt '"$pages"' ]' 10 || fail "Open Page opened no page window"

# The Help menu through the keyboard: Make a Suggestion and the forum go to the desktop's handler.
keys_to "$MAIN" alt+h Down Down Return
wait_for 'grep -q "^mailto:" "$WORK/opened.txt" 2>/dev/null' 10 || fail "Make a Suggestion handed over no mail address"
keys_to "$MAIN" alt+h Down Down Down Return
wait_for 'grep -q "^http://forum\." "$WORK/opened.txt"' 10 || fail "the forum's address was not handed over"

# Check For Update: the update window opens (modal) and its Close button, first in tab order, closes it.
keys_to "$MAIN" alt+h Up Return
wait_for 'grep -q "\"name\":\"frmUpdates\",\"shown\":true" "$TRACE"' 10 || fail "Check For Update opened nothing"
keys_to "$(window_named '^Check for Updates$')" space
wait_for 'grep -q "\"name\":\"frmUpdates\",\"shown\":false" "$TRACE"' 10 || fail "the update window did not close"

# Text to speech, through the Narration menu from its end (its access key is also Start's).
keys_to "$MAIN" alt+n Up Up Up Return
wait_for 'grep -q "\"name\":\"frmTextToSpeech\",\"shown\":true" "$TRACE"' 10 || fail "Text to speech did not open"
echo "ok: every menu command answered"
