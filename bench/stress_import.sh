#!/usr/bin/env bash
# Kills imports of the big package at random moments and races two processes on a first open, checking the
# archive after each: row counts as before the import (or as after a whole one) and PRAGMA integrity_check.
# Usage: bash bench/stress_import.sh [KILLS [OFFSETS]]   (after scripts/build.sh; needs the sqlite3 shell)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
kills=${1:-20}
offsets=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

counts() {
  sqlite3 "$1" "select (select count(*) from FORUM_MEMBERS)||' '||(select count(*) from FORUM_TOPICS)||' '||
    (select count(*) from FORUM_REPLY)||' '||(select count(*) from UPDATELOG)"
}

"$velm" expand "$package" "$work/2099W01.mdb"
cp tests/data/archive-small.mdb "$work/velm.mdb"
chmod u+w "$work/velm.mdb"
"$velm" --archive "$work/velm.mdb" tree >/dev/null
cp "$work/velm.sqlite" "$work/pristine.sqlite"
before=$(counts "$work/velm.sqlite")

# One whole import, for the counts after it and for its length.
start=$(now)
"$velm" --archive "$work/velm.mdb" import "$work/2099W01.mdb" 2>/dev/null
length=$(echo "$(now) - $start" | bc)
after=$(counts "$work/velm.sqlite")
printf 'whole import: %.2f s; rows (members topics replies records) before: %s, after: %s\n' "$length" "$before" "$after"

failures=0
for i in $(seq 1 "$kills"); do
  cp "$work/pristine.sqlite" "$work/velm.sqlite"
  rm -f "$work/velm.sqlite-wal" "$work/velm.sqlite-shm"
  delay=$(echo "scale=3; $length * $RANDOM / 32767" | bc)
  "$velm" --archive "$work/velm.mdb" import "$work/2099W01.mdb" 2>/dev/null &
  pid=$!
  sleep "$delay"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  got=$(counts "$work/velm.sqlite")
  check=$(sqlite3 "$work/velm.sqlite" "PRAGMA integrity_check")
  verdict=ok
  if [ "$check" != ok ] || { [ "$got" != "$before" ] && [ "$got" != "$after" ]; }; then
    verdict=FAILED
    failures=$((failures + 1))
  fi
  printf 'kill %2d at %5.2f s: rows %s, integrity %s: %s\n' "$i" "$delay" "$got" "$check" "$verdict"
done

# Two processes on a first open: the first converts and imports, the second opens at a growing offset.
cp tests/data/2004W06.mdb "$work/2004W06.mdb"
start=$(now)
rm -f "$work/velm.sqlite" "$work/velm.sqlite-wal" "$work/velm.sqlite-shm"
"$velm" --archive "$work/velm.mdb" tree >/dev/null
conversion=$(echo "$(now) - $start" | bc)
for i in $(seq 0 $((offsets - 1))); do
  rm -f "$work/velm.sqlite" "$work/velm.sqlite-wal" "$work/velm.sqlite-shm"
  offset=$(echo "scale=3; $conversion * $i / $offsets" | bc)
  "$velm" --archive "$work/velm.mdb" import "$work/2004W06.mdb" 2>/dev/null &
  first=$!
  sleep "$offset"
  "$velm" --archive "$work/velm.mdb" tree >/dev/null &
  second=$!
  status=0
  wait "$first" || status=1
  wait "$second" || status=1
  record=$(sqlite3 "$work/velm.sqlite" "select count(*) from UPDATELOG where UPD_TITLE = '2004年06週'")
  check=$(sqlite3 "$work/velm.sqlite" "PRAGMA integrity_check")
  verdict=ok
  if [ "$status" != 0 ] || [ "$record" != 1 ] || [ "$check" != ok ]; then
    verdict=FAILED
    failures=$((failures + 1))
  fi
  printf 'first open, second process after %5.3f s: both ran %s, import record %s, integrity %s: %s\n' \
    "$offset" "$([ $status = 0 ] && echo well || echo badly)" "$record" "$check" "$verdict"
done
echo "$failures failures"
[ "$failures" = 0 ]
