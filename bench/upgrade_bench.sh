#!/usr/bin/env bash
# The one-time upgrade of an archive converted by an earlier version (text compared byte by byte) to
# case-blind text, on the converted big archive, beside the sqlite3 shell copying the same tables with
# CREATE TABLE ... AS SELECT and rebuilding them as a copy would. Prints the time and the file sizes
# (the archive and its -wal once the program has ended) beside a fresh conversion's size.
# Usage: bash bench/upgrade_bench.sh [RUNS]   (after scripts/build.sh)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
runs=${1:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$velm" expand "$package" "$work/big.mdb"
"$velm" --archive "$work/big.mdb" tree >/dev/null
mb() { echo "scale=1; ($(stat -c %s "$1") + $( [ -f "$1-wal" ] && stat -c %s "$1-wal" || echo 0)) / 1048576" | bc; }
fresh=$(mb "$work/big.sqlite")
# The form earlier versions made: the same tables and indexes without the case-blind comparison.
sqlite3 "$work/big.sqlite" "PRAGMA journal_mode=DELETE; PRAGMA writable_schema=ON;
  UPDATE sqlite_master SET sql = replace(sql, ' COLLATE NOCASE', ''); PRAGMA writable_schema=OFF;
  PRAGMA user_version=0;" >/dev/null
sqlite3 "$work/big.sqlite" "REINDEX; VACUUM;"
tables=$(sqlite3 "$work/big.sqlite" "select name from sqlite_master where type='table' and name not like 'sqlite%'")
printf 'fresh conversion: %s MB; archive of the earlier form: %s MB, tables: %s\n' "$fresh" "$(mb "$work/big.sqlite")" "$(echo $tables)"

for run in $(seq 1 "$runs"); do
  cp "$work/big.sqlite" "$work/old.sqlite"
  start=$(now)
  "$velm" --archive "$work/old.sqlite" tree >/dev/null 2>"$work/steps.txt"
  ours=$(echo "$(now) - $start" | bc)
  form=$(sqlite3 "$work/old.sqlite" "PRAGMA user_version")

  cp "$work/big.sqlite" "$work/shell.sqlite"
  script="PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; BEGIN;"
  for t in $tables; do script="$script CREATE TABLE \"copy_$t\" AS SELECT * FROM \"$t\";"; done
  script="$script COMMIT;"
  start=$(now)
  sqlite3 "$work/shell.sqlite" "$script" >/dev/null
  shell=$(echo "$(now) - $start" | bc)
  # The shell rebuilding by copy, as earlier versions of the upgrade did: each table renamed, made again
  # with case-blind text, filled, the old one dropped and its indexes made again, in one transaction.
  cp "$work/big.sqlite" "$work/same.sqlite"
  rebuild="PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; BEGIN;"
  for t in $tables; do
    create=$(sqlite3 "$work/big.sqlite" "select sql from sqlite_master where type='table' and name='$t'" |
      sed -E 's/(VARCHAR\([0-9]+\)|LONGTEXT)/\1 COLLATE NOCASE/g')
    indexes=$(sqlite3 "$work/big.sqlite" "select group_concat(sql, '; ') from sqlite_master where type='index' and tbl_name='$t' and sql is not null")
    rebuild="$rebuild ALTER TABLE \"$t\" RENAME TO old; $create; INSERT INTO \"$t\" SELECT * FROM old ORDER BY rowid; DROP TABLE old;"
    [ -n "$indexes" ] && rebuild="$rebuild $indexes;"
  done
  rebuild="$rebuild PRAGMA user_version=1; COMMIT;"
  start=$(now)
  sqlite3 "$work/same.sqlite" "$rebuild" >/dev/null
  same=$(echo "$(now) - $start" | bc)
  printf 'run %d: upgrade (velm tree, process start included) %.2f s, form %s | shell, copying rebuild %.2f s (ratio %.2f) | shell, CREATE TABLE AS SELECT copy %.2f s (ratio %.2f)\n' \
    "$run" "$ours" "$form" "$same" "$(echo "$ours / $same" | bc -l)" "$shell" "$(echo "$ours / $shell" | bc -l)"
  printf 'run %d: size after the upgrade %s MB (fresh conversion %s MB) | after the copying rebuild %s MB\n' \
    "$run" "$(mb "$work/old.sqlite")" "$fresh" "$(mb "$work/same.sqlite")"
done
echo "steps shown: $(tr '\n' ' ' <"$work/steps.txt")"
