#!/usr/bin/env bash
# The desktop's accessibility, switched on with the user's consent (run under xvfb-run), on a
# session bus and an accessibility bus of the test's own that start with accessibility off:
#   accessibility.sh LECTRYN PAGE question   asked at start: a No is kept and not asked again, a
#                                            Yes switches the bus's IsEnabled on
#   accessibility.sh LECTRYN PAGE browser    a drag onto a Chromium that shows no page ends with one
#                                            message saying what to do, once for that browser
# Exits 77 when at-spi2-core (or, for "browser", chromium) is not installed.
readonly kMode=${3:?usage: $0 LECTRYN PAGE question|browser}
if [ ! -x /usr/libexec/at-spi-bus-launcher ]; then
  echo "at-spi2-core is not installed: skipped"
  exit 77
fi
if [ "$kMode" = browser ] && ! command -v chromium >/dev/null; then
  echo "chromium is not installed: skipped"
  exit 77
fi
# A bus of its own, whose settings daemon writes into a home of its own: the user's desktop
# settings are never touched.
if [ -z "${LECTRYN_OWN_SESSION:-}" ]; then
  home=$(mktemp -d)
  trap 'rm -rf "$home"' EXIT
  HOME=$home XDG_CONFIG_HOME=$home/.config LECTRYN_OWN_SESSION=1 dbus-run-session -- bash "$0" "$@"
  exit $?
fi
source "$(dirname "$0")/desktop.sh"
# The bus and the browser run in process groups of their own, ended with all their children.
GROUPS_STARTED=()
end_groups() {
  local status=$? group
  for group in "${GROUPS_STARTED[@]}"; do
    kill -TERM -- "-$group" 2>/dev/null || true
    # The browser writes its profile until it has gone; the profile is removed after.
    wait_for "! kill -0 -- -$group 2>/dev/null" 5 || kill -KILL -- "-$group" 2>/dev/null || true
  done
  (exit $status)
  finish
}
trap end_groups EXIT

is_enabled() {
  gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.freedesktop.DBus.Properties.Get \
    org.a11y.Status IsEnabled 2>/dev/null
}

setsid /usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/bus.log" 2>&1 &
GROUPS_STARTED+=("$!")
wait_for 'is_enabled >/dev/null' 10 || fail "the accessibility bus did not start"
gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.freedesktop.DBus.Properties.Set \
  org.a11y.Status IsEnabled "<false>" >/dev/null
[ "$(is_enabled)" = "(<false>,)" ] || fail "accessibility is not off at start: $(is_enabled)"

# The message box the program shows now (a dialog of the program's), given the keyboard, and
# the keys pressed on it. The trace tells of the message before the box is mapped, so the box is
# waited for.
message_box() {
  local window
  for window in $(xdotool search --onlyvisible --name '^Lectryn$' 2>/dev/null); do
    xprop -id "$window" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DIALOG && box=$window
  done
  [ -n "$box" ]
}
answer_box() {
  local box=
  wait_for message_box 10 || fail "no message box on the screen"
  keys_to "$box" "$@"
}

stop_lectryn() {
  kill "$PID" 2>/dev/null || true
  wait "$PID" 2>/dev/null || true
  PID=
  rm -f "$TRACE"
}

# The settings keep the answer "No" (as text: the bytes N, o and the closing NUL).
hive_says_no() {
  grep -qx "value AccessibilityQuestion REG_SZ 4e6f00" "$WORK/home/.config/lectryn/user.hive" 2>/dev/null
}

question() {
  export LECTRYN_ACCESSIBILITY_QUESTION=once
  start_lectryn alone
  wait_for 'grep -q "\"event\":\"message\",\"text\":\"To read pages in your web browser" "$TRACE"' 10 ||
    fail "not asked at start"
  ! hive_says_no || fail "a No was stored before the answer"
  answer_box Escape
  wait_for 'grep -q "\"event\":\"answer\",\"answer\":\"no\"" "$TRACE"' 10 || fail "Escape did not answer No"
  wait_for hive_says_no 5 || fail "the No was not stored in the settings"
  stop_lectryn

  start_lectryn alone
  sleep 3
  [ "$(count_of '"event":"message"')" -eq 0 ] || fail "asked again after a No"
  [ "$(is_enabled)" = "(<false>,)" ] || fail "accessibility was switched on after a No"
  stop_lectryn

  # Asked whatever was stored: Yes switches it on, and the user is told what open browsers need.
  export LECTRYN_ACCESSIBILITY_QUESTION=ask
  start_lectryn alone
  wait_for 'grep -q "\"event\":\"message\"" "$TRACE"' 10 || fail "not asked when the test asks for it"
  answer_box Return
  wait_for 'grep -q "\"event\":\"answer\",\"answer\":\"yes\"" "$TRACE"' 10 || fail "Enter did not answer Yes"
  wait_for '[ "$(count_of "\"event\":\"message\"")" -eq 2 ]' 10 || fail "no word on what open browsers need"
  grep -q -- "--force-renderer-accessibility" "$TRACE" || fail "Chromium's option not told"
  answer_box Return
  [ "$(is_enabled)" = "(<true>,)" ] || fail "Yes did not switch accessibility on: $(is_enabled)"
  stop_lectryn
  start_lectryn alone
  sleep 3
  [ "$(count_of '"event":"message"')" -eq 0 ] || fail "asked although accessibility is on"
  echo "ok: a No is kept and not asked again; a Yes switches accessibility on"
}

browser() {
  setsid chromium --no-sandbox --disable-gpu --no-first-run --no-default-browser-check \
    --disable-background-networking --disable-component-update --disable-sync --password-store=basic \
    --user-data-dir="$WORK/profile" --window-position=0,0 --window-size=1200,900 \
    "file://$(realpath "$(dirname "$0")/browser.htm")" >"$WORK/browser.log" 2>&1 &
  GROUPS_STARTED+=("$!")
  local chromium=
  wait_for 'chromium=$(xdotool search --onlyvisible --class chromium 2>/dev/null | tail -n 1); [ -n "$chromium" ]' 60 ||
    fail "no Chromium window"
  export LECTRYN_ACCESSIBILITY_QUESTION=never
  start_lectryn alone
  # A point of the browser's page that the main window does not cover.
  geometry_of "$(window_named '^Lectryn$')"
  local x=600 y=450
  if [ $x -ge "$X" ] && [ $x -lt $((X + W)) ] && [ $y -ge "$Y" ] && [ $y -lt $((Y + H)) ]; then y=$((Y + H + 100)); fi
  press_and_move_to $x $y
  xdotool mouseup 1
  wait_for 'grep -q "\"event\":\"message\"" "$TRACE"' 20 || fail "no message after the drag onto the browser"
  grep -q "accessibility is off. Switch it on now?" "$TRACE" || fail "the message does not say accessibility is off"
  grep -q -- "--force-renderer-accessibility" "$TRACE" || fail "the message does not say how to start Chromium"
  answer_box Escape
  wait_for 'grep -q "\"event\":\"answer\",\"answer\":\"no\"" "$TRACE"' 10 || fail "the message was not answered"
  [ "$(count_of '"event":"speak"')" -eq 0 ] || fail "something was read"
  # The same browser again: told once is enough.
  press_and_move_to $x $y
  xdotool mouseup 1
  sleep 2
  [ "$(count_of '"event":"message"')" -eq 1 ] || fail "told again about the same browser"
  echo "ok: a drag onto a browser without pages says what to do, once"
}

"$kMode"
