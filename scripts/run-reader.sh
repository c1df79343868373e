#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the reader and starts it on the bundled demo archive.
# Without a display it runs the reader under Xvfb, saves a screenshot of the window and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
reader="$PWD/build/bin/velm-reader"

if [ -n "${DISPLAY:-}" ]; then
  exec "$reader" "$@"
fi

shot="$PWD/build/velm-reader-screenshot.png"
source scripts/xvfb.sh

# Without a window manager nothing maximizes: the window is given the whole screen instead.
printf '[General]\nWindowMax=N\nWindowLeft=0\nWindowTop=0\nWindowWidth=1280\nWindowHeight=800\n' \
  >"$scratch/config/VELM_Reader.ini"
start_reader "$reader" "$@"

# Wait for the main window, then give the first show time to build the tree and paint.
window_shown() { xwininfo -root -tree 2>/dev/null | grep -q 'quorin'; }
wait_until "$app" "$scratch/reader.log" "the reader" window_shown
sleep 4
# Open the first forum as a user would: into the tree, down to the forum, and wait for its first topic.
window=$(xdotool search --name quorin | head -n 1)
if [ -n "$window" ]; then
  xdotool mousemove --window "$window" 60 60 click 1 2>/dev/null || true
  for key in Home Down Right Down Right Down; do xdotool key --window "$window" "$key"; sleep 0.3; done
  sleep 4
fi
import -window root "$shot"
echo "Screenshot of the reader window: $shot"
