# Shared by the desktop's end-to-end tests, which run under xvfb-run: starts the program with the
# scripted voice and a trace in a fresh home, finds its windows, and reads the trace.
set -euo pipefail

LECTRYN=${1:?usage: $0 LECTRYN_BINARY PAGE}
PAGE=${2:?usage: $0 LECTRYN_BINARY PAGE}
WORK=$(mktemp -d)
TRACE=$WORK/trace.jsonl
PID=
HELPERS=()  # other background processes of a test, ended with it

finish() {
  local status=$? helper
  for helper in "${HELPERS[@]}"; do kill "$helper" 2>/dev/null || true; done
  if [ -n "$PID" ] && kill -0 "$PID" 2>/dev/null; then
    kill "$PID" 2>/dev/null || true
    wait "$PID" 2>/dev/null || true
  fi
  if [ $status -ne 0 ]; then
    echo "--- trace" >&2
    cat "$TRACE" >&2 2>/dev/null || true
    echo "--- program output" >&2
    cat "$WORK/out.txt" >&2 2>/dev/null || true
  fi
  rm -rf "$WORK"
  exit $status
}
trap finish EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Waits up to $2 seconds (10 by default) for the command $1 to succeed.
wait_for() {
  local deadline=$((SECONDS + ${2:-10}))
  until eval "$1"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# Starts the program; with "alone" it opens no page window of its own.
start_lectryn() {
  mkdir -p "$WORK/home" "$WORK/run"
  chmod 700 "$WORK/run"
  local pages=("$PAGE")
  case "${1:-}" in
    alone) pages=() ;;
    reading) pages=(--read-selection) ;;  # as a key bound to the command starts it
  esac
  HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_RUNTIME_DIR=$WORK/run QT_QPA_PLATFORM=xcb \
    "$LECTRYN" --voice scripted --audio none --trace "$TRACE" "${pages[@]}" >"$WORK/out.txt" 2>&1 &
  PID=$!
  if [ "${1:-}" = alone ] || [ "${1:-}" = reading ]; then
    wait_for 'grep -q "\"name\":\"frmMain\",\"shown\":true" "$TRACE" 2>/dev/null' 20 ||
      fail "no main window was shown"
  else
    wait_for 'grep -q "\"name\":\"page\",\"shown\":true" "$TRACE" 2>/dev/null' 20 ||
      fail "no page window was shown"
  fi
}

# A second start in the first one's session ($1 the runtime folder, the rest its arguments); its
# output lands in $WORK/second.txt.
second_start() {
  local run=$1
  shift
  HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_RUNTIME_DIR=$run \
    timeout 20 "$LECTRYN" "$@" >"$WORK/second.txt" 2>&1
}
# Hands the command $1 to the running copy, which must take it at once.
command_to_lectryn() {
  second_start "$WORK/run" "$1" || fail "lectryn $1 failed ($?): $(cat "$WORK/second.txt")"
  [ ! -s "$WORK/second.txt" ] || fail "lectryn $1 said something: $(cat "$WORK/second.txt")"
}

# The id of the visible window whose title matches $1.
window_named() {
  xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

# Sets X, Y, W, H to the window's place on the screen.
geometry_of() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  W=$WIDTH
  H=$HEIGHT
}

# The texts of the trace's speak events, one a line.
spoken_texts() {
  sed -n 's/.*"event":"speak","text":"\([^"]*\)".*/\1/p' "$TRACE"
}

# The trace's word events as "word|selection" lines, in order.
spoken_words() {
  sed -n 's/.*"event":"word".*"word":"\([^"]*\)","selection":"\([^"]*\)".*/\1|\2/p' "$TRACE"
}

# For each spoken word of the trace on standard input, "word|held": what the browser held selected
# when the program asked it for the next word, empty when it was not asked; "-" for the last word,
# which has no next.
words_held() {
  sed -n -e 's/.*"event":"browser-selection","held":"\([^"]*\)".*/S|\1/p' \
    -e 's/.*"event":"word".*"word":"\([^"]*\)","selection".*/W|\1/p' |
    awk -F'|' '$1 == "W" { if (n) print word "|" held; word = $2; held = ""; n = 1; next }
      { held = $2 }
      END { if (n) print word "|-" }'
}

# The words of "word|held" lines on standard input that the browser did not hold, as "[word: held]".
words_not_held() {
  awk -F'|' '$2 != "-" && $1 != $2 { printf "[%s: %s] ", $1, ($2 == "" ? "nothing" : $2) }'
}

# Fails unless the browser holds $1 selected now (the reading's last word, which nothing read back).
holds_last_word() {
  "$AX" selection | grep -qF "[$1]" || fail "the browser does not hold the last word \"$1\" selected: $("$AX" selection)"
}

# How many times the trace has $1 (a fixed string).
count_of() {
  grep -cF -- "$1" "$TRACE" 2>/dev/null || true
}

# Gives the window $1 the keyboard (nothing else does without a window manager) and presses keys.
keys_to() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window"
  sleep 0.2
  xdotool key --delay 150 "$@"
}

# Presses on the main window's banner and moves in steps to the screen point $1,$2; the button
# stays down.
press_and_move_to() {
  geometry_of "$(window_named '^Lectryn$')"
  local fromX=$((X + W / 2)) fromY=$((Y + H - 30)) step
  xdotool mousemove "$fromX" "$fromY"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.2
  for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((fromX + ($1 - fromX) * step / 8)) $((fromY + ($2 - fromY) * step / 8))
    sleep 0.1
  done
}

# The main window, pressed on its banner and dragged over the page window's first paragraph.
drag_onto_first_paragraph() {
  geometry_of "$(window_named "$1")"
  press_and_move_to $((X + W / 2)) $((Y + 120))
  wait_for 'grep -q "\"event\":\"outline\"" "$TRACE"' 5 || fail "no outline while over the paragraph"
  xdotool mouseup 1
}
