#!/usr/bin/env bash
# Without an X server (a Wayland session without XWayland) the program says once, in one line,
# that other programs' pages need X11, and goes on: its own page windows still read.
set -euo pipefail
LECTRYN=${1:?usage: $0 LECTRYN_BINARY PAGE}
PAGE=${2:?usage: $0 LECTRYN_BINARY PAGE}
WORK=$(mktemp -d)
trap 'kill "$PID" 2>/dev/null || true; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/home" "$WORK/run"
chmod 700 "$WORK/run"
env -u DISPLAY HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_RUNTIME_DIR="$WORK/run" \
  WAYLAND_DISPLAY=wayland-gone QT_QPA_PLATFORM=offscreen \
  "$LECTRYN" --voice scripted --audio none --trace "$WORK/trace.jsonl" "$PAGE" >"$WORK/out.txt" 2>&1 &
PID=$!
for _ in $(seq 200); do
  grep -q '"name":"page","shown":true' "$WORK/trace.jsonl" 2>/dev/null && break
  sleep 0.1
done
grep -q '"name":"page","shown":true' "$WORK/trace.jsonl" || { echo "FAIL: no page window"; cat "$WORK/out.txt"; exit 1; }
kill -TERM "$PID"
wait "$PID" || true
# Only the program's own lines: the offscreen platform talks too. Where the run has no session
# bus, the trace also gets a line saying there are no media keys.
lines=$(grep '^lectryn:' "$WORK/out.txt" | grep -v '^lectryn: no media keys: ' || true)
if [ "$(printf '%s\n' "$lines" | grep -c .)" -ne 1 ] || ! grep -q "needs X11" <<<"$lines"; then
  echo "FAIL: expected one line about X11, got:"
  cat "$WORK/out.txt"
  exit 1
fi
echo "ok: $lines"
