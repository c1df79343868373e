#pragma once
// Which file an archive or package connection text names, and how it becomes an open SQLite database.
#include "sqlite/sqlite_db.h"

#include <functional>
#include <string>

struct sqlite3;

namespace velm {

class ProgressSink;

enum class FileKind { Missing, SQLite, Jet, Other };

// The data source of a connection text: the "Data Source=" value, or the whole text as a bare path.
std::string dataSourceOf(const std::string &connectionText);

// Tells a file by its first bytes, read through SQLite so that an archive this process holds keeps its locks;
// the -wal or -shm of a database this process holds is Other without being read.
FileKind fileKindOf(const std::string &path);

// Why an archive cannot be written where it lies (a read-only medium, a folder or a file the user cannot
// write), as a phrase for messages; empty when it can.
std::string archiveReadOnlyReason(const std::string &path);

// Opens an SQLite archive only to read it: through SQLite's read-only WAL support where its -wal and -shm can
// be used, otherwise (a folder nobody here can write) as an unchanging file, unless a -wal still holds data.
// An error names the file.
sqlite::DatabasePtr openSqliteReadOnly(const std::string &path, int extraFlags = 0);

// X.mdb → X.sqlite: only the extension is replaced (appended when there is none).
std::string sqliteSiblingOf(const std::string &path);

// Opens an archive: an SQLite file as it is (read-only where it cannot be written); for a Jet file, its SQLite sibling,
// which is made once from it when missing (one process at a time: another waits for it and uses its result). A missing
// sibling-less name, a non-database or a damaged file is an error naming the file. The SQLite file opened is stored in
// *databasePath.
sqlite3 *openArchiveDatabase(const std::string &path, ProgressSink *progress, std::string *databasePath);

// Asked when an Access archive changed since it was converted (a newer full archive was put in its
// place): true converts it again, keeping the old converted file as X.sqlite.old; false goes on with the
// converted archive. Without a handler the converted archive is used. Paths are UTF-8.
using SourceChangedHandler = std::function<bool(const std::string &mdbPath, const std::string &sqlitePath)>;
void setSourceChangedHandler(SourceChangedHandler handler);

// What opening an archive tells beyond its result: a step of a long job (the tables of an upgrade), or a
// warning (an archive that could not be upgraded opens as it is). Without a handler, nothing is told.
enum class ArchiveNotice { Step, Warning };
using ArchiveNoticeHandler = std::function<void(ArchiveNotice kind, const std::string &utf8)>;
void setArchiveNoticeHandler(ArchiveNoticeHandler handler);

// The longest single value a package may hold; reading a longer one fails (SQLITE_TOOBIG).
inline constexpr int kPackageValueLimit = 64 * 1024 * 1024;

// Opens a package only to read it, bounded by kPackageValueLimit: an SQLite package as it is, a Jet package
// through an SQLite copy the helper makes. Either way its rows stay on disk until a query reads them. A file
// this process holds open (the archive) is refused.
sqlite3 *openPackageDatabase(const std::string &path, ProgressSink *progress, std::string *databasePath);

// The indexes the reader's queries and the package merge need; non-unique, since real archives hold
// repeats. One that the tables do not allow is left out.
void createArchiveIndexes(sqlite3 *db);

} // namespace velm
