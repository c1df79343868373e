#!/usr/bin/env bash
# velm serve against its goals, each case beside its goal: topic pages with 64 connections, a mixed load
# (tree, forum pages, topics, rare-keyword searches), the same topic pages pre-rendered as files and served
# by nginx (the peer), topic pages while velm import merges the big package into the archive being served,
# and 1,000 idle connections held while others are served. Load comes from wrk on the loopback address.
# Usage: bash bench/serve_bench.sh ARCHIVE.sqlite [SECONDS]   (after scripts/build.sh; the archive is only
# read: the import case works on a copy of it beside it)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
archive=$(realpath "${1:?usage: serve_bench.sh ARCHIVE.sqlite [SECONDS]}")
seconds=${2:-15}
for tool in wrk:wrk nginx:nginx-light sqlite3:sqlite3 python3:python3; do
  command -v "${tool%%:*}" >/dev/null || apt-get install -y -q "${tool#*:}" >/dev/null
done
work=$(mktemp -d "$(dirname "$archive")/serve-bench.XXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
start_serve() { # archive → sets serve_pid and serve_url
  local port; port=$(free_port)
  "$velm" --archive "$1" serve --quiet --listen "127.0.0.1:$port" > "$work/serve.out" 2>> "$work/serve.err" &
  serve_pid=$!
  pids+=("$serve_pid")
  serve_url=http://127.0.0.1:$port
  for _ in $(seq 1 300); do grep -q '^serving' "$work/serve.out" && return; sleep 0.1; done
  echo "velm serve did not start: $(cat "$work/serve.err")" >&2; exit 1
}
# wrk over a list of paths, each connection going round it; prints "pages/s p99-ms errors".
cat > "$work/paths.lua" <<'LUA'
local paths = {}
for line in io.lines(os.getenv("PATHS")) do paths[#paths + 1] = line end
local i = math.random(#paths)
request = function() i = i % #paths + 1; return wrk.format("GET", paths[i]) end
LUA
load() { # url paths-file connections seconds
  PATHS=$2 wrk -t2 -c"$3" -d"$4"s --timeout 30s --latency -s "$work/paths.lua" "$1" > "$work/wrk.txt" 2>&1 || true
  python3 - "$work/wrk.txt" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
rate = re.search(r"Requests/sec:\s*([\d.]+)", text)
p99 = re.search(r"^\s*99%\s+([\d.]+)(us|ms|s)\b", text, re.M)
ms = float(p99.group(1)) * {"us": 0.001, "ms": 1, "s": 1000}[p99.group(2)] if p99 else float("nan")
errors = sum(int(n) for n in re.findall(r"(?:connect|read|write|timeout) (\d+)", text))
errors += sum(int(n) for n in re.findall(r"Non-2xx or 3xx responses: (\d+)", text))
print(f"{float(rate.group(1)) if rate else 0:.0f} {ms:.1f} {errors}")
PY
}
rss_mb() { awk '/^VmRSS/ {printf "%.0f", $2 / 1024}' "/proc/$1/status"; }

echo "machine: $(nproc) cores; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "archive: $archive ($(du -h "$archive" | cut -f1))"

# Typical topics: a random thousand; forum pages of the forums with topics; rare keywords (found nowhere:
# the whole archive is searched, as for a keyword found once).
sqlite3 "$archive" "select '/topic/'||TOPIC_ID from FORUM_TOPICS order by random() limit 1000" > "$work/topics"
sqlite3 "$archive" "select '/forum/'||FORUM_ID||'?page='||(1+abs(random())%((count(*)+49)/50)) from FORUM_TOPICS
  group by FORUM_ID" > "$work/forums"
python3 -c 'import urllib.parse
for word in ["zqxv", "量子糾纏", "obscurefoo", "Kylix3鍵盤"]: print("/search?q=" + urllib.parse.quote(word))' \
  > "$work/searches"
{
  for i in $(seq 1 10); do echo /; done
  shuf -n 300 -r "$work/forums"
  head -n 600 "$work/topics"
} > "$work/pages"
{ cat "$work/pages"; cat "$work/searches"; } | shuf > "$work/mixed"
shuf "$work/pages" > "$work/pages.shuffled"

start_serve "$archive"
load "$serve_url" "$work/topics" 64 3 > /dev/null # warm the page cache
read -r topic_rate topic_p99 topic_errors < <(load "$serve_url" "$work/topics" 64 "$seconds")
read -r mixed_rate mixed_p99 mixed_errors < <(load "$serve_url" "$work/mixed" 64 "$seconds")
# Searches still queued for connections that wrk has closed would weigh on the next case: a fresh server.
kill "$serve_pid"; wait "$serve_pid" 2>/dev/null || true
start_serve "$archive"
read -r pages_rate pages_p99 pages_errors < <(load "$serve_url" "$work/pages.shuffled" 64 "$seconds")
search_start=$(now)
curl -s -o /dev/null "$serve_url$(head -n 1 "$work/searches")"
search_ms=$(echo "($(now) - $search_start) * 1000 / 1" | bc)

# The peer: the same topic pages as files, served by nginx with as many workers as there are cores.
mkdir -p "$work/www/topic"
while read -r path; do curl -s -o "$work/www$path" "$serve_url$path"; done < "$work/topics"
kill "$serve_pid"; wait "$serve_pid" 2>/dev/null || true
nginx_port=$(free_port)
cat > "$work/nginx.conf" <<CONF
user root;
worker_processes $(nproc);
error_log $work/nginx.err;
pid $work/nginx.pid;
events { worker_connections 4096; }
http {
  access_log off;
  default_type "text/html; charset=utf-8";
  client_body_temp_path $work; proxy_temp_path $work; fastcgi_temp_path $work; uwsgi_temp_path $work; scgi_temp_path $work;
  server { listen 127.0.0.1:$nginx_port; root $work/www; }
}
CONF
nginx -c "$work/nginx.conf" -g 'daemon off;' &
pids+=($!)
sleep 1
read -r nginx_rate nginx_p99 nginx_errors < <(load "http://127.0.0.1:$nginx_port" "$work/topics" 64 "$seconds")
kill "${pids[-1]}"

# Topic pages while an import writes the archive being served (a copy of it). The package is expanded
# first, and the load lasts four times as long, so that it covers the import's writing.
"$velm" expand "$package" "$work/bench-package.mdb" > /dev/null
cp --reflink=auto "$archive" "$work/importing.sqlite"
start_serve "$work/importing.sqlite"
start=$(now)
"$velm" --archive "$work/importing.sqlite" import "$work/bench-package.mdb" > /dev/null 2> "$work/import.err" &
import_pid=$!
pids+=("$import_pid")
read -r import_rate import_p99 import_errors < <(load "$serve_url" "$work/topics" 64 $((4 * seconds)))
import_state="import still running at the end"
if ! kill -0 "$import_pid" 2>/dev/null; then
  import_status=0
  wait "$import_pid" || import_status=$?
  import_state="import ended within $(printf %.0f "$(echo "$(now) - $start" | bc)") s, exit status $import_status"
fi
kill "$import_pid" 2>/dev/null || true # the copy goes away: its import need not finish
wait "$import_pid" 2>/dev/null || true
kill "$serve_pid"; wait "$serve_pid" 2>/dev/null || true
rm -f "$work"/importing.sqlite*

# 1,000 idle connections held open while 16 others ask for topic pages.
start_serve "$archive"
python3 - "${serve_url##*:}" 1000 "$work/idle.ready" <<'PY' &
import socket, sys, time, resource
resource.setrlimit(resource.RLIMIT_NOFILE, (4096, 4096))
held = [socket.create_connection(("127.0.0.1", int(sys.argv[1]))) for _ in range(int(sys.argv[2]))]
open(sys.argv[3], "w").write(str(len(held)))
time.sleep(600)
PY
idle_pid=$!
pids+=("$idle_pid")
for _ in $(seq 1 300); do [ -s "$work/idle.ready" ] && break; sleep 0.1; done
read -r idle_rate idle_p99 idle_errors < <(load "$serve_url" "$work/topics" 16 "$seconds")
idle_rss=$(rss_mb "$serve_pid")
idle_peak=$(awk '/^VmHWM/ {printf "%.0f", $2 / 1024}' "/proc/$serve_pid/status")
kill "$idle_pid"

ratio=$(echo "scale=2; $topic_rate / $nginx_rate" | bc)
printf '\n%-44s %-30s %s\n' "case" "goal" "measured"
printf '%-44s %-30s %s\n' "topic pages, 64 connections" ">= 2000 pages/s, p99 <= 50 ms" \
  "$topic_rate pages/s, p99 $topic_p99 ms, $topic_errors errors"
printf '%-44s %-30s %s\n' "mixed: tree, forums, topics, searches" "p99 <= 100 ms, 0 errors" \
  "$mixed_rate pages/s, p99 $mixed_p99 ms, $mixed_errors errors"
printf '%-44s %-30s %s\n' "  the same without searches" "" \
  "$pages_rate pages/s, p99 $pages_p99 ms, $pages_errors errors"
printf '%-44s %-30s %s\n' "  one rare-keyword search alone" "" "$search_ms ms"
printf '%-44s %-30s %s\n' "same topic pages as files, nginx (peer)" "ours / nginx" \
  "$nginx_rate pages/s, p99 $nginx_p99 ms; ours / nginx = $ratio"
printf '%-44s %-30s %s\n' "topic pages during velm import" "0 errors, p99 <= 300 ms" \
  "$import_rate pages/s, p99 $import_p99 ms, $import_errors errors ($import_state)"
printf '%-44s %-30s %s\n' "1,000 idle connections held, 16 others" "still serves; <= 200 MB" \
  "$idle_rate pages/s, p99 $idle_p99 ms, $idle_errors errors; RSS $idle_rss MB (peak $idle_peak MB)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
