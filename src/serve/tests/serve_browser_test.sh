#!/usr/bin/env bash
# The pages in a real browser with JavaScript on (headless Chromium): the tree, a forum, a topic and a
# search show, and a hostile post does nothing: every way it tries to run script, move the page, load a
# frame, a plug-in or a base address asks the server for a /probe/ address, which the access log would show.
# Usage: serve_browser_test.sh VELM DEMO_ARCHIVE
set -euo pipefail
velm=$1
demo=$2
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cp "$demo" "$work/velm.sqlite"
chmod u+w "$work/velm.sqlite"
cat > "$work/hostile.html" <<'HTML'
<p id=marker>惡意內文</p>
<script>document.title='PWNED';new Image().src='/probe/inline-script'</script>
<script src=/probe/script-src></script>
<img src=/no-such-picture onerror="new Image().src='/probe/handler'">
<svg onload="new Image().src='/probe/svg'"></svg>
<meta http-equiv=refresh content="0;url=/probe/refresh">
<iframe src=/probe/iframe></iframe>
<object data=/probe/object></object>
<embed src=/probe/embed>
<form action=/probe/form><input name=a value=1><button>送出</button></form>
<base href="/probe/base/"><img src=relative.png>
<link rel=stylesheet href=/probe/link>
<img src=/probe/img>
HTML
sqlite3 "$work/velm.sqlite" "INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES,
  T_LAST_POST, T_GOOD, T_CODESYSTEM, T_SUBJECT, T_MESSAGE) VALUES (9001, 101, 1, 2, '20040301000000', 0,
  '20040301000000', 'N', 0, '惡意主題', CAST(readfile('$work/hostile.html') AS TEXT))"

"$velm" --archive "$work/velm.sqlite" serve --listen 127.0.0.1:0 > "$work/address" 2> "$work/log" &
server=$!
for _ in $(seq 1 300); do
  grep -q '^serving http://' "$work/address" && break
  kill -0 "$server" 2>/dev/null || fail "velm serve did not start: $(cat "$work/log")"
  sleep 0.1
done
base=$(sed -n 's|^serving \(http://[^/]*\)/.*|\1|p' "$work/address")
[ -n "$base" ] || fail "no address from velm serve"

# Run as root in a closed network: without these flags Chromium waits for services it cannot reach.
dom() {
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$(mktemp -d "$work/profile.XXXX")" \
    --virtual-time-budget=3000 --dump-dom "$base$1" 2>/dev/null
}
expect() { # page, text the rendered document must hold
  dom "$1" > "$work/dom"
  grep -qF -- "$2" "$work/dom" || fail "$1 does not show $2"
}

expect / 'href="/forum/101"'
expect /forum/101 'href="/topic/1009"'
expect /topic/1009 'href="/topic/1002"'
expect '/search?q=RxLib' 'href="/topic/1009?hl=RxLib"'

dom /topic/9001 > "$work/dom"
grep -q 'id="marker"' "$work/dom" || fail "the hostile post is not shown"
grep -q '<title>惡意主題</title>' "$work/dom" || fail "a script changed the title"
for tag in script iframe object embed form base meta link; do
  if grep -qi "<$tag[ >]" <(sed -n '/id="marker"/,$p' "$work/dom"); then fail "a <$tag> element is in the page"; fi
done
# The picture the post may load is the last request the log can be waiting for.
for _ in $(seq 1 100); do grep -q '"GET /probe/img' "$work/log" && break; sleep 0.1; done
probes=$(grep -o '"GET /probe/[^ ]*' "$work/log" | sort -u | tr '\n' ' ')
[ "$probes" = '"GET /probe/img ' ] || fail "the page asked for: $probes (only /probe/img may load)"
grep -q '"GET /topic/relative.png' "$work/log" || fail "a relative picture did not load from the page's own address"
echo "the pages show in the browser; the hostile post did nothing"
