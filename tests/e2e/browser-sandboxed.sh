#!/usr/bin/env bash
# A sandboxed browser's window names a process id of its own sandbox, which the accessibility bus
# does not know: its page is found by the window's place, and read as any other.
#   browser-sandboxed.sh LECTRYN LECTRYN_AX PAGE
: "${LECTRYN_BROWSER_WINDOW:?run through browser-session}"
xprop -id "$LECTRYN_BROWSER_WINDOW" -f _NET_WM_PID 32c -set _NET_WM_PID 2 || exit 1
exec bash "$(dirname "$0")/browser.sh" "$@"
