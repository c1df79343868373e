#!/usr/bin/env bash
# Topic lists and quick searches on large archives, each beside the sqlite3 shell running the same
# statement in the same run: time (process start included) and peak memory.
# Archives: x1 is the converted big package (20k topics, 90k replies, 5k members); x10 clones its rows ten
# times under new ids; "huge" is x1 with one forum of 500,000 topics.
# Usage: bash bench/list_bench.sh [RUNS]   (after scripts/build.sh; the best of RUNS counts)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
source bench/bench_archives.sh
runs=${1:-3}
work=${BENCH_WORK:-$PWD/build/bench-data/lists}
mkdir -p "$work"

make_x1_x10 "$work"
if [ ! -f "$work/huge.sqlite" ]; then
  cp "$work/x1.sqlite" "$work/huge.tmp"
  sqlite3 "$work/huge.tmp" >/dev/null <<'SQL'
BEGIN;
INSERT INTO FORUM_FORUM VALUES (9999999, 1, 'huge', NULL);
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 499999)
INSERT INTO FORUM_TOPICS SELECT 50000000 + i, 9999999, t.CAT_ID, t.T_SUBJECT, t.T_MESSAGE, t.T_DATE, t.T_AUTHOR,
  t.T_REPLIES, t.T_LAST_POST, t.T_GOOD, t.T_CODESYSTEM, t.T_FILENAME, t.T_FILESIZE
  FROM n JOIN FORUM_TOPICS t ON t.rowid = 1 + i % 20000;
COMMIT;
SQL
  mv "$work/huge.tmp" "$work/huge.sqlite"
fi

# The best of the runs: "seconds peak-kilobytes" (the time to the millisecond, the memory from time(1)).
measure() {
  local best="" start line seconds
  for _ in $(seq 1 "$runs"); do
    start=$(now)
    line=$(/usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1)
    seconds=$(echo "$(now) - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$seconds < ${best% *}" | bc)" = 1 ]; then best="$seconds $line"; fi
  done
  echo "$best"
}

row() { # name velm-measure shell-measure
  local ours=$2 shell=$3
  printf '%-44s velm %7.3f s %6.1f MB | sqlite3 %7.3f s %6.1f MB | ratio %5.2f, difference %+5.0f ms\n' "$1" \
    "${ours% *}" "$(echo "${ours#* } / 1024" | bc -l)" "${shell% *}" "$(echo "${shell#* } / 1024" | bc -l)" \
    "$(echo "${ours% *} / ${shell% *}" | bc -l)" "$(echo "(${ours% *} - ${shell% *}) * 1000" | bc -l)"
}

topics_sql() { echo "select * from FORUM_TOPICS where FORUM_ID=$1 ORDER BY T_LAST_POST DESC"; }
search_sql() {
  echo "SELECT * FROM FORUM_TOPICS WHERE T_SUBJECT LIKE '%$1%' OR T_MESSAGE LIKE '%$1%'
or TOPIC_ID IN (SELECT TOPIC_ID FROM FORUM_REPLY WHERE R_MESSAGE LIKE '%$1%')"
}

small=$(sqlite3 "$work/x1.sqlite" "select FORUM_ID from FORUM_TOPICS group by FORUM_ID having count(*) between 60 and 80 limit 1")
echo "x1 $(du -m "$work/x1.sqlite" | cut -f1) MB, x10 $(du -m "$work/x10.sqlite" | cut -f1) MB, huge $(du -m "$work/huge.sqlite" | cut -f1) MB; small forum $small; best of $runs"
for size in x1 x10; do
  db=$work/$size.sqlite
  row "topics of a small forum ($size)" "$(measure "$velm" --archive "$db" topics "$small")" \
    "$(measure sqlite3 "$db" "$(topics_sql "$small")")"
done
row "topics of the 500,000-topic forum" "$(measure "$velm" --archive "$work/huge.sqlite" topics 9999999)" \
  "$(measure sqlite3 "$work/huge.sqlite" "$(topics_sql 9999999)")"
for size in x1 x10; do
  db=$work/$size.sqlite
  for word in Delphi 資料; do
    row "quick search $word ($size)" "$(measure "$velm" --archive "$db" search "$word")" \
      "$(measure sqlite3 "$db" "$(search_sql "$word")")"
  done
done
