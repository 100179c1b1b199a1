#!/usr/bin/env bash
# A real window under Xvfb: the viewer opens a 1280×800 window titled
# "PDF Viewer", draws its first frame, and quits cleanly on SIGTERM.
set -euo pipefail
viewer=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_DATA_HOME=$work/data VELYN_LOG=debug

cat >"$work/inner.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
"$1" 2>"$2/stderr" &
pid=$!
for _ in $(seq 100); do
  win=$(xdotool search --name '^PDF Viewer$' 2>/dev/null | head -n1 || true)
  [ -n "$win" ] && grep -q 'first frame' "$2/stderr" && break
  sleep 0.1
done
[ -n "${win:-}" ] || { echo "no window titled 'PDF Viewer' appeared"; cat "$2/stderr"; kill $pid 2>/dev/null; exit 1; }
grep -q 'first frame 1280x800' "$2/stderr" || { echo "the window did not draw a 1280x800 frame"; cat "$2/stderr"; kill $pid; exit 1; }
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry" | grep -q 'Geometry: 1280x800' || { echo "unexpected geometry: $geometry"; kill $pid; exit 1; }
kill -TERM $pid
status=0
wait $pid || status=$?
[ "$status" = 0 ] || { echo "viewer exited with $status after SIGTERM"; cat "$2/stderr"; exit 1; }
[ -f "$HOME/data/io.velyn.pdfviewer/rooms/00000000-0000-0000-0000-000000000000.sqlite3" ] \
  || { echo "the room file was not created"; find "$HOME"; exit 1; }
echo "window opened, drew and closed"
INNER
chmod +x "$work/inner.sh"
# A display of its own: Xvfb picks a free number and writes it to fd 5, so
# tests running side by side never share or race for one. -noreset: without
# it the server resets when its last client (an xdotool call) leaves, and a
# viewer connecting in that moment finds no display.
Xvfb -displayfd 5 -screen 0 1600x1000x24 -nolisten tcp -noreset 5>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
DISPLAY=:$(head -n1 "$work/display") "$work/inner.sh" "$viewer" "$work"
