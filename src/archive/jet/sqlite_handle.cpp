#include "sqlite_handle.h"

namespace velm::jet {

void raiseSqlite(sqlite3 *db)
{
    throw SqliteFailure(db ? sqlite3_errmsg(db) : "out of memory");
}

void execute(sqlite3 *db, const std::string &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw SqliteFailure(text);
    }
}

StatementPtr prepare(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
        raiseSqlite(db);
    return StatementPtr(statement);
}

SqlitePtr openDatabase(const std::string &path, int flags)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    SqlitePtr db(raw);
    if (rc != SQLITE_OK)
        raiseSqlite(raw);
    return db;
}

void closeDatabase(SqlitePtr &db)
{
    if (db && sqlite3_close(db.get()) != SQLITE_OK)
        raiseSqlite(db.get()); // still owned: the deleter closes it once its statements are gone
    db.release();
}

} // namespace velm::jet
