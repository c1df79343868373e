#!/usr/bin/env bash
# Sets up and builds as run-reader.sh does, then runs the reader on the demo archive under Xvfb and saves a
# set of screenshots: a topic open, a quick search's result with its hits marked, the find bar, and the
# announcement pane with the forum's server out of reach. Prints the path of every PNG.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
reader="$PWD/build/bin/velm-reader"
shots="$PWD/build/screenshots"
keyword="${VELM_SHOT_KEYWORD:-Delphi}"
mkdir -p "$shots"

source scripts/xvfb.sh

# Without a window manager nothing maximizes: the window is given the whole screen. The forum's server is
# a closed port on this machine, so the announcement pane shows what it shows when offline.
printf '[General]\nWindowMax=N\nWindowLeft=0\nWindowTop=0\nWindowWidth=1280\nWindowHeight=800\nPanel4Width=260\nForumBaseURL=http://127.0.0.1:9/\n' \
  >"$scratch/config/VELM_Reader.ini"
start_reader VELM_READER_GEOMETRY=1 "$reader" "$@"

# The reader prints where its controls are once its first show is done.
wait_until "$app" "$scratch/reader.log" "the reader" grep -q '^geometry WebBrowserDemo ' "$scratch/reader.log"
place() { grep "^geometry $1 " "$scratch/reader.log" | head -n 1 | cut -d' ' -f3-; }
center() { read -r x y w h <<<"$(place "$1")"; echo "$((x + w / 2)) $((y + h / 2))"; }
click() { read -r cx cy <<<"$(center "$1")"; xdotool mousemove "$cx" "$cy" click 1; }
sleep 3

shoot() {
  import -window root "$shots/$1.png"
  echo "$2: $shots/$1.png"
}

# 1. A topic open: into the tree, down to the first forum; its first topic is shown.
read -r tx ty _ _ <<<"$(place tv)"
xdotool mousemove "$((tx + 40))" "$((ty + 10))" click 1
for key in Home Down Right Down Right Down; do xdotool key "$key"; sleep 0.3; done
sleep 4
shoot 1-topic "A topic of the demo archive"

# 2. A quick search: the keyword typed into the search box and Enter; the first topic found shows its hits marked.
click EditSearch
xdotool key ctrl+a
xdotool type --delay 50 "$keyword"
xdotool key Return
sleep 4
shoot 2-search "A quick search's result, hits marked"

# 3. The find bar: Ctrl+F, the keyword, Enter.
click WebBrowser1
xdotool key ctrl+f
sleep 0.5
xdotool type --delay 50 "$keyword"
xdotool key Return
sleep 2
shoot 3-find "The find bar"

# 4. The announcement pane, its server unreachable.
read -r dx dy dw dh <<<"$(place WebBrowserDemo)"
import -window root -crop "${dw}x${dh}+${dx}+${dy}" +repage "$shots/4-announcement.png"
echo "The announcement pane, offline: $shots/4-announcement.png"
