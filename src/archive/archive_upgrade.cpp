#include "archive/archive_upgrade.h"

#include "archive/database.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/progress.h"

#include <sqlite3.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace velm {
namespace {

struct Column {
    std::string name;
    std::string type;
    bool notNull = false;
    std::string defaultValue; // SQL text, empty when none
    int keyPosition = 0;
    bool caseBlind = false;
};

struct Table {
    std::string name;
    std::vector<Column> columns;
    std::vector<std::string> indexSql;
};

using sqlite::columnText;
using sqlite::quoteIdentifier;
using sqlite::StatementPtr;

bool isText(const std::string &declaredType)
{
    const FieldType type = fieldTypeOf(declaredType);
    return type == FieldType::Text || type == FieldType::Memo;
}

int userVersion(sqlite3 *db)
{
    const StatementPtr stmt = sqlite::prepare(db, "PRAGMA user_version");
    return sqlite3_step(stmt.get()) == SQLITE_ROW ? sqlite3_column_int(stmt.get(), 0) : 0;
}

// The archive's tables whose text columns still compare letter case.
std::vector<Table> tablesToRebuild(sqlite3 *db)
{
    std::vector<Table> tables;
    const StatementPtr list = sqlite::prepare(
        db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
            "ORDER BY rowid");
    while (sqlite3_step(list.get()) == SQLITE_ROW)
        tables.push_back({columnText(list.get(), 0), {}, {}});
    std::vector<Table> rebuilt;
    for (Table &table : tables) {
        bool needed = false;
        const StatementPtr info = sqlite::prepare(db, "PRAGMA table_info(" + quoteIdentifier(table.name) + ")");
        while (sqlite3_step(info.get()) == SQLITE_ROW) {
            Column column{
                columnText(info.get(), 1), columnText(info.get(), 2),         sqlite3_column_int(info.get(), 3) != 0,
                columnText(info.get(), 4), sqlite3_column_int(info.get(), 5), false};
            column.caseBlind = isText(column.type);
            table.columns.push_back(column);
        }
        for (const Column &column : table.columns) {
            if (!column.caseBlind)
                continue;
            const char *collation = nullptr;
            sqlite3_table_column_metadata(db, "main", table.name.c_str(), column.name.c_str(), nullptr, &collation,
                                          nullptr, nullptr, nullptr);
            if (!collation || sqlite3_stricmp(collation, "NOCASE") != 0)
                needed = true;
        }
        if (!needed)
            continue;
        const StatementPtr indexes = sqlite::prepare(
            db,
            "SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 AND sql IS NOT NULL ORDER BY rowid");
        sqlite3_bind_text(indexes.get(), 1, table.name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(indexes.get()) == SQLITE_ROW)
            table.indexSql.push_back(columnText(indexes.get(), 0));
        rebuilt.push_back(std::move(table));
    }
    return rebuilt;
}

std::string createSql(const std::string &name, const std::vector<Column> &columns)
{
    std::string sql = "CREATE TABLE " + quoteIdentifier(name) + " (";
    std::vector<std::pair<int, std::string>> key;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column &c = columns[i];
        sql += (i ? ", " : "") + quoteIdentifier(c.name);
        if (!c.type.empty())
            sql += " " + (c.caseBlind ? caseBlindDeclaration(c.type) : c.type);
        if (c.notNull)
            sql += " NOT NULL";
        if (!c.defaultValue.empty())
            sql += " DEFAULT " + c.defaultValue;
        if (c.keyPosition > 0)
            key.emplace_back(c.keyPosition, quoteIdentifier(c.name));
    }
    if (!key.empty()) {
        std::sort(key.begin(), key.end());
        sql += ", PRIMARY KEY (";
        for (std::size_t i = 0; i < key.size(); ++i)
            sql += (i ? ", " : "") + key[i].second;
        sql += ")";
    }
    return sql + ")";
}

} // namespace

std::string caseBlindDeclaration(const std::string &declaredType)
{
    return declaredType + " COLLATE NOCASE";
}

bool archiveNeedsUpgrade(sqlite3 *db)
{
    return userVersion(db) < kArchiveForm;
}

void markCurrentForm(sqlite3 *db)
{
    sqlite::execute(db, "PRAGMA user_version = " + std::to_string(kArchiveForm));
}

void upgradeArchive(sqlite3 *db, const std::string &path, ProgressSink *progress,
                    const std::function<void(const std::string &table)> &tableStarted)
{
    try {
        // A failure or a kill leaves the archive as it was.
        sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Immediate);
        const std::vector<Table> tables = tablesToRebuild(db);
        if (progress && !tables.empty()) {
            progress->setRange(0, static_cast<int>(tables.size()));
            progress->setPosition(0);
        }
        for (const Table &table : tables) {
            if (tableStarted)
                tableStarted(table.name);
            if (progress) {
                progress->setCaption(toCp950("升級資料表 " + table.name));
                progress->processEvents();
            }
            const std::string old = "velm_upgrade_old";
            sqlite::execute(db, "ALTER TABLE " + quoteIdentifier(table.name) + " RENAME TO " + quoteIdentifier(old));
            sqlite::execute(db, createSql(table.name, table.columns));
            std::string columns;
            for (std::size_t i = 0; i < table.columns.size(); ++i)
                columns += (i ? ", " : "") + quoteIdentifier(table.columns[i].name);
            sqlite::execute(db, "INSERT INTO " + quoteIdentifier(table.name) + " (" + columns + ") SELECT " + columns +
                                    " FROM " + quoteIdentifier(old) + " ORDER BY rowid");
            sqlite::execute(db, "DROP TABLE " + quoteIdentifier(old));
            // The indexes were dropped with the old table; made again, text keys take the new comparison.
            for (const std::string &index : table.indexSql)
                sqlite::execute(db, index);
            if (progress)
                progress->step();
        }
        markCurrentForm(db);
        transaction.commit();
    } catch (const Error &e) {
        raiseUtf8("無法升級資料庫檔案 " + path + ": " + e.utf8());
    }
}

} // namespace velm
