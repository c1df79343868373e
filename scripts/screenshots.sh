#!/usr/bin/env bash
# Sets up and builds as run-reader.sh does, then runs the reader on the demo archive under Xvfb and saves a
# set of screenshots: a topic open with unread topics in bold and unread counts in the tree, a quick search's
# result with its hits marked, the find bar, the announcement pane with the forum's server out of reach, the
# bookmarks list, a saved page opened in a browser, and the recent archives. Prints the path of every PNG.
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
shoot 1-topic "A topic of the demo archive, unread topics in bold, unread counts in the tree"

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

# 5. The bookmarks: the topic shown kept with Ctrl+D, the tab beside the tree.
xdotool key Escape
click WebBrowser1
xdotool key ctrl+d
sleep 0.5
click BookmarksTab
sleep 1
shoot 5-bookmarks "The bookmarks list"
click ForumsTab

# 6. The topic saved with Ctrl+S (the file dialog takes the path typed), then opened in a browser.
saved="$scratch/saved-topic.html"
click WebBrowser1
xdotool key ctrl+s
sleep 2
xdotool key ctrl+a
xdotool type --delay 20 "$saved"
xdotool key Return
wait_until "$app" "$scratch/reader.log" "the saved page" test -s "$saved"
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update \
  --disable-sync --no-first-run --user-data-dir="$scratch/browser" --window-size=1000,700 \
  --screenshot="$shots/6-saved-page.png" "file://$saved" >/dev/null 2>&1
echo "A saved page opened in a browser: $shots/6-saved-page.png"

# 7. The recent archives: two copies opened through the open button's dialog, one of them then moved away.
mkdir -p "$scratch/archives"
for name in moved-away velm-copy; do
  cp build/bin/velm.sqlite "$scratch/archives/$name.sqlite"
  read -r bx by _ bh <<<"$(place ToolButton2)"
  xdotool mousemove "$((bx + 8))" "$((by + bh / 2))" click 1
  sleep 2
  xdotool key ctrl+a
  xdotool type --delay 20 "$scratch/archives/$name.sqlite"
  xdotool key Return
  sleep 4
done
rm "$scratch/archives/moved-away.sqlite"
read -r bx by bw bh <<<"$(place ToolButton2)"
xdotool mousemove "$((bx + bw - 4))" "$((by + bh / 2))" click 1
sleep 1
shoot 7-recent-archives "The recent archives under the open button"
