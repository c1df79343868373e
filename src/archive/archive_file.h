#pragma once
// Which file an archive or package connection text names, and how it becomes an open SQLite database.
#include <string>

struct sqlite3;

namespace velm {

class ProgressSink;

enum class FileKind { Missing, SQLite, Jet, Other };

// The data source of a connection text: the "Data Source=" value, or the whole text as a bare path.
std::string dataSourceOf(const std::string &connectionText);

// Tells a file by its first bytes.
FileKind fileKindOf(const std::string &path);

// X.mdb → X.sqlite: only the extension is replaced (appended when there is none).
std::string sqliteSiblingOf(const std::string &path);

// Opens an archive: an SQLite file as it is; for a Jet file, its SQLite sibling, which is made once
// from it when missing. A missing sibling-less name, a non-database or a damaged file is an error
// naming the file. The SQLite file opened is stored in *databasePath.
sqlite3 *openArchiveDatabase(const std::string &path, ProgressSink *progress, std::string *databasePath);

// Opens a package for reading: a Jet package is copied into an in-memory database; an SQLite
// package is opened read-only.
sqlite3 *openPackageDatabase(const std::string &path, ProgressSink *progress, std::string *databasePath);

// The indexes the reader's queries and the package merge need; non-unique, since real archives hold
// repeats. One that the tables do not allow is left out.
void createArchiveIndexes(sqlite3 *db);

} // namespace velm
