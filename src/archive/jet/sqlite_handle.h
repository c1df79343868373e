#pragma once
// Owners for SQLite handles, and statements that report failures as exceptions.
#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace velm::jet {

// A failed SQLite call; the text is SQLite's own message (UTF-8).
class SqliteFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SqliteCloser {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using SqlitePtr = std::unique_ptr<sqlite3, SqliteCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

[[noreturn]] void raiseSqlite(sqlite3 *db);
void execute(sqlite3 *db, const std::string &sql);
StatementPtr prepare(sqlite3 *db, const std::string &sql);
SqlitePtr openDatabase(const std::string &path, int flags);
// Closes now, so that a failure to write the last pages is reported rather than lost.
void closeDatabase(SqlitePtr &db);

} // namespace velm::jet
