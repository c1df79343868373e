#pragma once
// The first value a query gives in a database file, as text, for tests of either framework: "<none>" when
// there is no row (or the query fails), "<null>" for null.
#include <sqlite3.h>

#include <string>

namespace velm::test {

inline std::string firstValue(const std::string &database, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt *stmt = nullptr;
    std::string value = "<none>";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        value = text ? text : "<null>";
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

} // namespace velm::test
