#!/usr/bin/env bash
# Sets up and builds as run-reader.sh does, then runs velm serve on the demo archive and saves screenshots
# of its four pages (the forum tree, a forum, a topic, a quick search) at a desktop's and a phone's width,
# taken by headless Chromium. Prints the path of every PNG.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
shots="$PWD/build/serve-screenshots"
keyword="${VELM_SHOT_KEYWORD:-RxLib}"
mkdir -p "$shots"
scratch=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

cp build/bin/velm.sqlite "$scratch/velm.sqlite"
build/bin/velm --archive "$scratch/velm.sqlite" serve --listen 127.0.0.1:0 --quiet >"$scratch/address" &
server=$!
for _ in $(seq 1 300); do grep -q '^serving' "$scratch/address" && break; sleep 0.1; done
base=$(sed -n 's|^serving \(http://[^/]*\)/.*|\1|p' "$scratch/address")
[ -n "$base" ] || { echo "velm serve did not start" >&2; exit 1; }

# The forum with the most topics, and its topic with the most replies.
forum=$(sqlite3 "$scratch/velm.sqlite" "select FORUM_ID from FORUM_TOPICS group by FORUM_ID order by count(*) desc")
forum=${forum%%$'\n'*}
topic=$(sqlite3 "$scratch/velm.sqlite" "select TOPIC_ID from FORUM_TOPICS where FORUM_ID=$forum order by T_REPLIES desc")
topic=${topic%%$'\n'*}

shot() { # name, path, width, height
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --hide-scrollbars \
    --user-data-dir="$(mktemp -d "$scratch/profile.XXXX")" --window-size="$3,$4" \
    --screenshot="$shots/$1.png" "$base$2" >/dev/null 2>&1
  echo "$shots/$1.png"
}
for size in desktop:1280:900 phone:390:844; do
  IFS=: read -r name width height <<<"$size"
  shot "tree-$name" / "$width" "$height"
  shot "forum-$name" "/forum/$forum" "$width" "$height"
  shot "topic-$name" "/topic/$topic" "$width" "$height"
  shot "search-$name" "/search?q=$keyword" "$width" "$height"
done
