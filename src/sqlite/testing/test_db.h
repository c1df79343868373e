#pragma once
// A database as a test looks into it: statements that must work, and first values as text.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace velm::test {

struct Db {
    explicit Db(const std::string &path, int flags = SQLITE_OPEN_READWRITE)
    {
        sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
        sqlite3_busy_timeout(handle, 10000);
    }
    ~Db() { sqlite3_close_v2(handle); }
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;

    void exec(const std::string &sql) const
    {
        char *error = nullptr;
        if (sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << (error ? error : "");
            sqlite3_free(error);
        }
    }
    // The first column of every row, "NULL" for null.
    std::vector<std::string> column(const std::string &sql) const
    {
        std::vector<std::string> values;
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
            values.emplace_back(
                sqlite3_column_text(stmt, 0) ? reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)) : "NULL");
        sqlite3_finalize(stmt);
        return values;
    }
    // The first row's first value; empty when there is no row.
    std::string text(const std::string &sql) const
    {
        const auto values = column(sql);
        return values.empty() ? std::string() : values.front();
    }
    long long count(const std::string &table) const
    {
        const std::string n = text("select count(*) from " + table);
        return n.empty() ? -1 : std::stoll(n);
    }

    sqlite3 *handle = nullptr;
};

} // namespace velm::test
