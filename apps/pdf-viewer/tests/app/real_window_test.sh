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
[ -n "${win:-}" ] || { echo "no window titled 'PDF Viewer' appeared"; kill $pid; cat "$2/stderr"; exit 1; }
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
xvfb-run -a -s "-screen 0 1600x1000x24" "$work/inner.sh" "$viewer" "$work"
