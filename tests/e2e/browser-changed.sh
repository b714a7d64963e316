#!/usr/bin/env bash
# A page that changes after it was read is read again: the browser says it changed, and the next
# drag reads what it shows now.
#   browser-changed.sh LECTRYN LECTRYN_AX PAGE
AX=${2:?usage: $0 LECTRYN LECTRYN_AX PAGE}
set -- "$1" "$3"
source "$(dirname "$0")/desktop.sh"

# Drags from the banner onto the paragraph and waits until its last word is spoken.
read_story() {
  read -r px py pw ph <<<"$("$AX" extents "$1")" || fail "no paragraph \"$1\" in the browser"
  press_and_move_to $((px + 40)) $((py + ph / 2))
  sleep 0.5
  xdotool mouseup 1
  wait_for "grep -q '\"word\":\"$2\"' \"\$TRACE\"" 20 || fail "the paragraph was not read ($2 never spoken)"
}

start_lectryn alone
read_story 'Before the change' apples
read -r bx by bw bh <<<"$("$AX" extents 'Change')" || fail "no button in the browser"
xdotool mousemove $((bx + bw / 2)) $((by + bh / 2)) click 1
# Without a window manager the clicked browser comes up over the main window, kept on top only by
# asking the X server.
xdotool windowraise "$(window_named '^Lectryn$')"
wait_for '"$AX" extents "After the change" >/dev/null 2>&1' 10 || fail "the page did not change"
read_story 'After the change' pears
echo "ok: the changed page was read again"
