#!/usr/bin/env bash
# Pause and resume while a picked paragraph is read: by Ctrl+P in the main window, and by the
# desktop's media controls over the session bus (the test runs on a bus of its own under
# dbus-run-session). No word is heard while paused; the reading goes on from there afterwards.
# The player shows the page's title and the speed; a second copy leaves the player's name alone.
source "$(dirname "$0")/desktop.sh"
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "no session bus: run under dbus-run-session"
NAME=org.mpris.MediaPlayer2.lectryn

player() {
  dbus-send --session --print-reply --dest=$NAME /org/mpris/MediaPlayer2 "$@"
}
property() {
  player org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1"
}
status_is() {
  property PlaybackStatus 2>/dev/null | grep -q "string \"$1\""
}
owner() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetNameOwner "string:$NAME" | sed -n 's/.*string "\(.*\)"/\1/p'
}
word_count() {
  count_of '"event":"word"'
}
# Fails unless no word is heard for a second and a half now, as while paused ($1 says how).
holds_still() {
  local before
  before=$(word_count)
  sleep 1.5
  [ "$(word_count)" -eq "$before" ] || fail "$1 did not pause: $((before)) words, then $(word_count)"
}
# Fails unless words are heard again within five seconds ($1 says after what).
goes_on() {
  local before
  before=$(word_count)
  wait_for '[ "$(word_count)" -gt '"$before"' ]' 5 || fail "the reading did not go on after $1"
}

start_lectryn
MAIN=$(window_named '^Lectryn$')
[ -n "$MAIN" ] || fail "no main window"
wait_for 'owner >/dev/null 2>&1' 10 || fail "the player did not appear on the session bus"
FIRST=$(owner)
status_is Stopped || fail "the player is not stopped before any reading: $(property PlaybackStatus)"

# A second copy ends at once and leaves the name to the first.
HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_RUNTIME_DIR=$WORK/run \
  timeout 20 "$LECTRYN" --voice scripted --audio none "$PAGE" >"$WORK/second.txt" 2>&1 ||
  fail "a second copy did not end by itself: $(cat "$WORK/second.txt")"
[ "$(owner)" = "$FIRST" ] || fail "a second copy took the player's name"

drag_onto_first_paragraph 'Reading test'
wait_for '[ "$(word_count)" -ge 2 ]' 10 || fail "the picked paragraph was not read"
wait_for 'status_is Playing' 5 || fail "the player does not show the reading: $(property PlaybackStatus)"
property Metadata | grep -A1 '"xesam:title"' | grep -q '"Reading test"' ||
  fail "the player does not show the page's title: $(property Metadata)"

# Ctrl+P pauses and resumes.
keys_to "$MAIN" ctrl+p
wait_for 'status_is Paused' 5 || fail "Ctrl+P did not pause: $(property PlaybackStatus)"
holds_still "Ctrl+P"
keys_to "$MAIN" ctrl+p
wait_for 'status_is Playing' 5 || fail "Ctrl+P did not resume"
goes_on "Ctrl+P"

# The desktop's play/pause key.
player org.mpris.MediaPlayer2.Player.PlayPause >/dev/null || fail "PlayPause was refused"
wait_for 'status_is Paused' 5 || fail "PlayPause did not pause: $(property PlaybackStatus)"
holds_still "PlayPause"
player org.mpris.MediaPlayer2.Player.PlayPause >/dev/null || fail "PlayPause was refused"
wait_for 'status_is Playing' 5 || fail "PlayPause did not resume"
goes_on "PlayPause"

# The speed as a factor of the normal one, set and read back.
player org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:Rate variant:double:0.8 >/dev/null ||
  fail "setting the rate was refused"
property Rate | grep -q "double 0.8$" || fail "the rate set is not the rate read: $(property Rate)"

# Stop, then Play reads the pick again.
player org.mpris.MediaPlayer2.Player.Stop >/dev/null || fail "Stop was refused"
wait_for 'status_is Stopped' 5 || fail "Stop did not stop: $(property PlaybackStatus)"
speaks=$(count_of '"event":"speak"')
player org.mpris.MediaPlayer2.Player.Play >/dev/null || fail "Play was refused"
wait_for '[ "$(count_of "\"event\":\"speak\"")" -gt '"$speaks"' ]' 5 || fail "Play did not read the pick again"
echo "ok: paused and resumed by Ctrl+P and by the media controls; speed, title and name as expected"
