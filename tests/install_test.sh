#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses the installed programs as a user would: their
# version, the installed demo archive, the first start that copies the demo into the user's program
# folder, and an Access archive read through the installed helper. The programs run as a user who
# cannot write the install (nobody, when the test runs as root), as on a system install. Then builds the
# Debian package with cpack and checks it with lintian.
#
# usage: install_test.sh CMAKE BUILD_DIR SOURCE_DIR
set -euo pipefail

cmake=$1
build=$2
source=$3
fixtures=$source/tests/data

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

work=$(mktemp -d)
reader_pid=
serve_pid=
cleanup() {
  if [ -n "$reader_pid" ]; then kill "$reader_pid" 2>/dev/null || true; wait "$reader_pid" 2>/dev/null || true; fi
  if [ -n "$serve_pid" ]; then kill "$serve_pid" 2>/dev/null || true; fi
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
prefix=$work/prefix

# The build's own demo archive is opened as any run of the build opens it (which leaves it in WAL mode, unfit
# for a folder the user cannot write): the install must ship the archive as made.
"$build/bin/velm" --archive "$build/bin/velm.sqlite" tree >/dev/null
if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install $build --prefix $prefix" >&2
  exit 1
fi

# --- What goes where: the programs, the helper, the desktop's files, the manual, the demo and the
# service of velm serve; nothing of the tests, benchmarks or build tools.
expected='bin/velm
bin/velm-reader
lib/systemd/system/velm-serve.service
lib/sysusers.d/velm-serve.conf
libexec/velm-reader/velm-jet-reader
share/applications/velm-reader.desktop
share/doc/velm-reader/changelog.gz
share/doc/velm-reader/copyright
share/icons/hicolor/scalable/apps/velm-reader.svg
share/man/man1/velm-reader.1.gz
share/man/man1/velm.1.gz
share/mime/packages/velm-reader-vlpfile.xml
share/velm-reader/velm-serve.default
share/velm-reader/velm.sqlite'
installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
if [ "$installed" = "$expected" ]; then
  pass "the install holds exactly the program's files"
else
  fail "installed files differ from the expected layout:"
  diff <(echo "$expected") <(echo "$installed") >&2 || true
fi
for program in bin/velm bin/velm-reader libexec/velm-reader/velm-jet-reader; do
  [ -x "$prefix/$program" ] || fail "$program is not executable"
  missing=$(ldd "$prefix/$program" | grep 'not found' || true)
  [ -z "$missing" ] || fail "$program lacks shared libraries: $missing"
done
for file in share/applications/velm-reader.desktop share/velm-reader/velm.sqlite share/man/man1/velm.1.gz; do
  [ ! -x "$prefix/$file" ] || fail "$file is executable"
done

# --- The desktop's files are valid and agree with each other.
desktop=$prefix/share/applications/velm-reader.desktop
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
  pass "desktop entry validates"
else
  fail "desktop-file-validate: $out"
fi
mime_type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$prefix/share/mime/packages/velm-reader-vlpfile.xml")
grep -qx "MimeType=$mime_type;" "$desktop" || fail "the desktop entry does not open $mime_type"
grep -qx "Icon=velm-reader" "$desktop" || fail "the desktop entry's icon is not velm-reader"
if update-mime-database "$prefix/share/mime" >"$work/mime.log" 2>&1 &&
  grep -qi "^[0-9]*:$mime_type:\*\.vlp$" "$prefix/share/mime/globs2"; then
  pass "the MIME package gives *.VLP files the type $mime_type"
else
  cat "$work/mime.log" >&2
  fail "the MIME package does not map *.VLP to $mime_type"
fi

# --- The manual pages are clean roff, and velm.1 lists what velm --help lists, no more and no less.
for page in velm velm-reader; do
  zcat "$prefix/share/man/man1/$page.1.gz" >"$work/$page.1"
  warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z "$work/$page.1" 2>&1 || true)
  [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
done
manual=$work/velm.1
# The first word of every tag of a section (.TP and the line after it), roff escapes taken out.
man_tags() {
  awk -v section="$1" '
    /^\.SH/ { inside = ($2 == section); next }
    inside && tag { line = $0; sub(/^\.[A-Z]+ /, "", line); gsub(/\\f[BIRP]/, "", line);
                    gsub(/\\-/, "-", line); gsub(/[",]/, " ", line); split(line, words, " ");
                    print words[1]; tag = 0; next }
    inside && /^\.TP/ { tag = 1 }' "$manual" | LC_ALL=C sort
}
help_text=$("$prefix/bin/velm" --help)
help_commands=$(echo "$help_text" | sed -n '/^Commands:/,$p' | sed -n 's/^  \([a-z0-9][a-z0-9-]*\).*/\1/p' | LC_ALL=C sort)
help_options=$(echo "$help_text" | sed -n '/^Options:/,/^Commands:/p' | grep -o -- '--[a-z-]*' | LC_ALL=C sort -u)
man_options=$(man_tags OPTIONS | grep -- '^--' | LC_ALL=C sort -u)
if [ -n "$help_commands" ] && [ "$help_commands" = "$(man_tags COMMANDS)" ]; then
  pass "velm.1 describes the $(echo "$help_commands" | wc -l) commands of velm --help"
else
  fail "velm.1's commands differ from velm --help's:"
  diff <(echo "$help_commands") <(man_tags COMMANDS) >&2 || true
fi
if [ -n "$help_options" ] && [ "$help_options" = "$man_options" ]; then
  pass "velm.1 describes the options of velm --help"
else
  fail "velm.1's options differ from velm --help's:"
  diff <(echo "$help_options") <(echo "$man_options") >&2 || true
fi

# --- From here the install is read-only, and the programs run as a user of their own.
user=$work/user
mkdir -p "$user/home"
cp "$fixtures/archive-small.mdb" "$user/small.mdb"
cp "$fixtures/archive-small.mdb" "$user/no-helper.mdb"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R 65534:65534 "$user"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
# Every archive the reader has written is in WAL mode; read where it lies, the demo opens read-only.
sqlite3 "$prefix/share/velm-reader/velm.sqlite" "PRAGMA journal_mode=WAL" >/dev/null
chmod -R a-w "$prefix"
run() {
  (cd "$user" && env -u VELM_JET_READER HOME="$user/home" XDG_DATA_HOME="$user/data" \
    XDG_CONFIG_HOME="$user/config" "${as_user[@]}" "$@")
}

# What the build's own velm prints for the demo and for the Access fixture, each on a copy of its own.
cp "$build/bin/velm.sqlite" "$work/reference-demo.sqlite"
cp "$fixtures/archive-small.mdb" "$work/reference-small.mdb"
demo_tree=$("$build/bin/velm" --archive "$work/reference-demo.sqlite" tree)
small_tree=$("$build/bin/velm" --archive "$work/reference-small.mdb" tree)
echo "$demo_tree" | grep -q '^  Delphi 程式設計$' || fail "the build's demo tree lacks its first category"
echo "$small_tree" | grep -q 'Delphi 程式設計' || fail "the build's tree of archive-small.mdb lacks its first category"

# One version everywhere: the program's, the manual pages' and the change log's latest entry.
version=$(sed -n 's/.*kProgramVersion = "\([^"]*\)".*/\1/p' "$source/src/settings/version.h")
if got=$(run "$prefix/bin/velm" --version) && [ -n "$version" ] && [ "$got" = "$version" ]; then
  pass "velm --version prints $version"
else
  fail "velm --version printed '${got:-}', expected '$version'"
fi
for page in velm velm-reader; do
  grep -q "^\.TH .* \"Velm Reader $version\" " "$work/$page.1" || fail "$page.1 does not name version $version"
done
logged=$(zcat "$prefix/share/doc/velm-reader/changelog.gz" | sed -n '1s/^velm-reader (\([^)]*\)).*/\1/p')
[ "$logged" = "$version" ] || fail "the change log's latest entry is '$logged', the program's version $version"

if got=$(run "$prefix/bin/velm" --archive "$prefix/share/velm-reader/velm.sqlite" tree 2>"$work/err") &&
  [ "$got" = "$demo_tree" ]; then
  pass "velm --archive <installed demo> tree prints the demo's tree ($(echo "$got" | wc -l) lines)"
else
  fail "velm --archive <installed demo> tree: $(cat "$work/err")"
fi
if ! run "$prefix/bin/velm" --archive "$prefix/share/velm-reader/velm.sqlite" import "$fixtures/2004W06.mdb" \
  2>"$work/err" && grep -q "是唯讀的" "$work/err" && [ -z "$(ls "$prefix/share/velm-reader" | grep -v -e '^velm.sqlite$' -e '^velm-serve.default$')" ]; then
  pass "an import into the installed demo is refused, saying why, and leaves nothing beside it"
else
  fail "import into the installed demo: $(cat "$work/err"); $(ls "$prefix/share/velm-reader")"
fi

# velm serve gives the installed demo's pages from the read-only install, and ends on SIGTERM.
# The program takes the background subshell's place, so that the signal reaches it.
(cd "$user" && exec env HOME="$user/home" XDG_CONFIG_HOME="$user/config" "${as_user[@]}" "$prefix/bin/velm" \
  --archive "$prefix/share/velm-reader/velm.sqlite" serve --listen 127.0.0.1:0 >"$work/serve.out" 2>"$work/serve.err") &
serve_pid=$!
for _ in $(seq 1 300); do grep -q '^serving' "$work/serve.out" && break; sleep 0.1; done
port=$(sed -n 's|^serving http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/serve.out")
page=
if [ -n "$port" ] && exec 3<>"/dev/tcp/127.0.0.1/$port"; then
  printf 'GET / HTTP/1.1\r\nConnection: close\r\n\r\n' >&3
  page=$(cat <&3)
  exec 3<&-
fi
kill -TERM "$serve_pid" 2>/dev/null || true
serve_status=0
wait "$serve_pid" || serve_status=$?
serve_pid=
if [ "$serve_status" -eq 0 ] && [[ "$page" == "HTTP/1.1 200 OK"* ]] && [[ "$page" == *'href="/forum/101"'* ]]; then
  pass "velm serve gives the installed demo's forum tree and stops on SIGTERM"
else
  fail "velm serve on the installed demo (exit status $serve_status): $(head -c 300 <<<"$page"); $(cat "$work/serve.err")"
fi

# The first start: no archive in the user's program folder, so the demo is copied there (never into
# the install), said on standard error, and opened.
folder=$user/data/velm-reader
if got=$(run "$prefix/bin/velm" tree 2>"$work/err") && [ "$got" = "$demo_tree" ] &&
  grep -q "starting on a copy of the demo archive" "$work/err" && [ -f "$folder/velm.sqlite" ]; then
  pass "the first start copies the demo into \$XDG_DATA_HOME/velm-reader/ and prints its tree"
else
  fail "first start: output $(echo "${got:-}" | wc -l) lines, stderr: $(cat "$work/err"); folder: $(ls -A "$folder" 2>&1)"
fi
[ ! -e "$prefix/bin/velm.sqlite" ] || fail "the demo was copied into the install's bin folder"
if got=$(run "$prefix/bin/velm" tree 2>"$work/err") && [ "$got" = "$demo_tree" ] && [ ! -s "$work/err" ]; then
  pass "the next start uses the copy and says nothing"
else
  fail "second start: stderr: $(cat "$work/err")"
fi

# The reader makes the same copy at its first start, before its window opens.
rm -rf "$user/data"
(cd "$user" && exec env -u VELM_JET_READER HOME="$user/home" XDG_DATA_HOME="$user/data" \
  XDG_CONFIG_HOME="$user/config" QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
  QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" "${as_user[@]}" "$prefix/bin/velm-reader" \
  >"$work/reader.log" 2>&1) &
reader_pid=$!
deadline=$((SECONDS + 120))
while [ ! -f "$folder/velm.sqlite" ] && kill -0 "$reader_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
  sleep 0.1
done
# The copy takes its name only when complete, so once it is there it is a whole database.
if [ -f "$folder/velm.sqlite" ] && [ "$(head -c 15 "$folder/velm.sqlite")" = "SQLite format 3" ]; then
  pass "the reader's first start copies the demo into \$XDG_DATA_HOME/velm-reader/"
else
  fail "the reader made no copy of the demo: $(cat "$work/reader.log")"
fi
kill "$reader_pid" 2>/dev/null || true
wait "$reader_pid" 2>/dev/null || true
reader_pid=

# An Access archive is read by the helper of the install, found from bin/ in libexec/velm-reader/.
if got=$(run "$prefix/bin/velm" --archive "$user/small.mdb" tree 2>"$work/err") && [ "$got" = "$small_tree" ] &&
  [ -f "$user/small.sqlite" ]; then
  pass "velm --archive <copy of archive-small.mdb> tree converts it through the installed helper"
else
  fail "velm on archive-small.mdb: $(cat "$work/err"); output: $(diff <(echo "$small_tree") <(echo "${got:-}")); $(ls "$user")"
fi
# Without its helper the install fails to read it, and says so: it never borrows the build's.
chmod u+w "$prefix/libexec/velm-reader"
mv "$prefix/libexec/velm-reader/velm-jet-reader" "$work/velm-jet-reader"
if ! run "$prefix/bin/velm" --archive "$user/no-helper.mdb" tree >/dev/null 2>"$work/err" &&
  grep -q "找不到讀取程式" "$work/err" && [ ! -e "$user/no-helper.sqlite" ]; then
  pass "an install without its helper says it cannot find it"
else
  fail "velm without the installed helper: $(cat "$work/err")"
fi

# --- The Debian package: built by cpack from the same build, of the program's version, with a CJK font among
# its dependencies, and clean for lintian: no error or warning, and no hardening note at any level.
if (cd "$work" && cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1); then
  deb=$(ls "$work"/package/velm-reader_*.deb)
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is $(dpkg-deb -f "$deb" Version)"
  dpkg-deb -f "$deb" Depends | grep -q 'fonts-arphic-uming | fonts-noto-cjk | fonts-wqy-zenhei' ||
    fail "the package does not depend on a CJK font: $(dpkg-deb -f "$deb" Depends)"
  lintian -I -E --pedantic "$deb" >"$work/lintian.log" 2>&1 || true
  problems=$(grep -E '^[EW]: | hardening-' "$work/lintian.log" || true)
  if [ -z "$problems" ] && ! grep -q '^internal error' "$work/lintian.log"; then
    pass "lintian -I -E --pedantic: no errors or warnings ($(grep -c '^[IPX]: ' "$work/lintian.log") notes)"
  else
    fail "lintian: $problems"
  fi
  sed 's/^/  /' "$work/lintian.log"
else
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all install checks passed"
