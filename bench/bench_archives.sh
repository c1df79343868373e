# Sourced by the benchmark scripts (after bench_common.sh): the large archives they share, made once in a folder.
# x1 is the converted big package (20k topics, 90k replies, 5k members); x10 clones its rows ten times under new ids.
make_x1_x10() {
  local work=$1
  if [ ! -f "$work/x1.sqlite" ]; then
    "$velm" expand "$package" "$work/x1.mdb"
    "$velm" --archive "$work/x1.mdb" tree >/dev/null
    rm "$work/x1.mdb"
  fi
  if [ ! -f "$work/x10.sqlite" ]; then
    cp "$work/x1.sqlite" "$work/x10.tmp"
    sqlite3 "$work/x10.tmp" >/dev/null <<'SQL'
BEGIN;
CREATE TEMP TABLE k(n);
INSERT INTO k VALUES (1),(2),(3),(4),(5),(6),(7),(8),(9);
INSERT INTO FORUM_MEMBERS SELECT MEMBER_ID + n * 1000000, M_NAME || n, M_EMAIL, M_POSTS, M_JOINED FROM FORUM_MEMBERS, k;
INSERT INTO FORUM_FORUM SELECT FORUM_ID + n * 1000000, CAT_ID, F_SUBJECT, F_DESCRIPTION FROM FORUM_FORUM, k;
INSERT INTO FORUM_TOPICS SELECT TOPIC_ID + n * 1000000, FORUM_ID + n * 1000000, CAT_ID, T_SUBJECT, T_MESSAGE, T_DATE,
  T_AUTHOR + n * 1000000, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM, T_FILENAME, T_FILESIZE FROM FORUM_TOPICS, k;
INSERT INTO FORUM_REPLY SELECT REPLY_ID, TOPIC_ID + n * 1000000, R_MESSAGE, R_AUTHOR + n * 1000000, R_DATE,
  R_CODESYSTEM FROM FORUM_REPLY, k;
COMMIT;
SQL
    mv "$work/x10.tmp" "$work/x10.sqlite"
  fi
}
