#pragma once
// The one thin layer over the SQLite C interface: owners for handles, statements that report failures as
// exceptions, transactions and savepoints that undo themselves unless finished. Text is UTF-8 here.
#include "base/error.h"

#include <sqlite3.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace velm::sqlite {

// A failed SQLite call, carrying SQLite's own message and result code.
class Failure : public Error {
public:
    explicit Failure(const std::string &utf8Message, int code = SQLITE_ERROR);
    // The primary result code: SQLITE_BUSY when another connection held the database too long.
    int code() const { return m_code; }

private:
    int m_code;
};

struct DatabaseCloser {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using DatabasePtr = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Throws the database's last error (or "out of memory" without a handle).
[[noreturn]] void raise(sqlite3 *db);
// Opens a database; a failure's message is SQLite's.
DatabasePtr open(const std::string &name, int flags);
// Opens a file only to read it, as immutable: no locks, nothing written beside it, whatever its path holds.
DatabasePtr openImmutable(const std::string &path, int extraFlags = 0);
// Closes now, so that a failure to write the last pages is reported rather than lost.
void close(DatabasePtr &db);
// Runs one or more statements.
void execute(sqlite3 *db, const std::string &sql);
// Runs statements whose failure does not matter to the caller; false when one failed.
bool executeQuietly(sqlite3 *db, const std::string &sql);
StatementPtr prepare(sqlite3 *db, const std::string &sql);
// The text of a statement's column (empty for null).
std::string columnText(sqlite3_stmt *statement, int column);

// A name quoted for SQL text: "a""b".
std::string quoteIdentifier(std::string_view name);
// Whether the main database has a table of that name, without regard to case.
bool tableExists(sqlite3 *db, const std::string &table);

// BEGIN (or BEGIN IMMEDIATE, which takes the write lock at once) … COMMIT; rolled back when dropped
// before its commit.
class Transaction {
public:
    enum class Kind { Deferred, Immediate };
    explicit Transaction(sqlite3 *db, Kind kind = Kind::Deferred);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    sqlite3 *m_db;
};

// A savepoint works whether or not a transaction is open; undone when dropped before its release.
class Savepoint {
public:
    Savepoint(sqlite3 *db, std::string name);
    ~Savepoint();
    Savepoint(const Savepoint &) = delete;
    Savepoint &operator=(const Savepoint &) = delete;
    void release();
    // Undoes what was done since the savepoint and ends it.
    void rollBack();
    bool open() const { return m_open; }

private:
    sqlite3 *m_db;
    std::string m_name;
    bool m_open = true;
};

// Lets another thread stop what a connection runs: interrupt() reaches the connection a Scope has lent it,
// and nothing once the scope is over.
class Interrupter {
public:
    void interrupt();

    class Scope {
    public:
        Scope(Interrupter &interrupter, sqlite3 *db);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        Interrupter &m_interrupter;
    };

private:
    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
};

} // namespace velm::sqlite
