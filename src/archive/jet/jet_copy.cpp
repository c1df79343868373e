#include "archive/jet/jet_copy.h"

#include "sqlite/sqlite_db.h"

#include <chrono>

namespace velm::jet {
namespace {

constexpr std::chrono::milliseconds kReportInterval{100};
constexpr std::uint64_t kRowsBetweenClockChecks = 256;

void bindValue(sqlite3 *db, sqlite3_stmt *insert, int parameter, const FieldValue &value)
{
    int rc = SQLITE_OK;
    switch (value.kind) {
    case ValueKind::Null:
        rc = sqlite3_bind_null(insert, parameter);
        break;
    case ValueKind::Integer:
        rc = sqlite3_bind_int64(insert, parameter, value.integer);
        break;
    case ValueKind::Real:
        rc = sqlite3_bind_double(insert, parameter, value.real);
        break;
    case ValueKind::Text:
        // An empty text must stay '' and not turn into NULL, so it never binds a null pointer.
        rc = sqlite3_bind_text64(insert, parameter, value.bytes.empty() ? "" : value.bytes.data(), value.bytes.size(),
                                 SQLITE_STATIC, SQLITE_UTF8);
        break;
    case ValueKind::Blob:
        rc = value.bytes.empty()
                 ? sqlite3_bind_zeroblob(insert, parameter, 0)
                 : sqlite3_bind_blob64(insert, parameter, value.bytes.data(), value.bytes.size(), SQLITE_STATIC);
        break;
    }
    if (rc != SQLITE_OK)
        sqlite::raise(db);
}

void copyTable(sqlite3 *db, JetTable &table, CopyListener &listener)
{
    sqlite::execute(db, createTableSql(table.name(), table.columns()));
    std::string sql = "INSERT INTO " + quoteIdentifier(table.name()) + " VALUES (";
    for (std::size_t i = 0; i < table.columns().size(); ++i)
        sql += i ? ",?" : "?";
    sql += ")";
    const sqlite::StatementPtr insert = sqlite::prepare(db, sql);

    auto lastReport = std::chrono::steady_clock::now();
    while (table.next()) {
        const std::vector<FieldValue> &values = table.values();
        for (std::size_t i = 0; i < values.size(); ++i)
            bindValue(db, insert.get(), int(i + 1), values[i]);
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            sqlite::raise(db);
        sqlite3_reset(insert.get());
        if (table.rowsRead() % kRowsBetweenClockChecks == 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastReport >= kReportInterval) {
                listener.rowsCopied(table.rowsRead());
                lastReport = now;
            }
        }
    }
    listener.rowsCopied(table.rowsRead());
}

} // namespace

std::string createTableSql(const std::string &table, const std::vector<Column> &columns)
{
    std::string sql = "CREATE TABLE " + quoteIdentifier(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i)
            sql += ", ";
        sql += quoteIdentifier(columns[i].name) + " " + columns[i].declaration;
        // Text compares without regard to letter case, as it did in the Jet database.
        if (columns[i].type == FieldType::Text || columns[i].type == FieldType::Memo)
            sql += " COLLATE NOCASE";
    }
    sql += ")";
    return sql;
}

void copyJetFile(const std::string &mdbPath, sqlite3 *db, CopyListener &listener)
{
    JetFile file(mdbPath);
    listener.tablesFound(file.tableCount());
    sqlite::Transaction transaction(db); // a failed copy leaves db as it was
    for (std::size_t i = 0; i < file.tableCount(); ++i) {
        JetTable table = file.openTable(i);
        listener.tableStarted(table.name());
        copyTable(db, table, listener);
    }
    transaction.commit();
}

} // namespace velm::jet
