#include "archive/archive_upgrade.h"

#include "archive/database.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/progress.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include <sys/statvfs.h>

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
    std::vector<std::string> indexNames;
    // Its rows are stored the same whatever the comparison: only its declaration changes, and its indexes
    // are built again in place. Otherwise the table is copied into a new one.
    bool inPlace = false;
};

constexpr std::uint64_t kMegabyte = 1024 * 1024;

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

// Whether a text column of the table still compares letter case.
bool comparesCase(sqlite3 *db, const Table &table)
{
    for (const Column &column : table.columns) {
        if (!column.caseBlind)
            continue;
        const char *collation = nullptr;
        sqlite3_table_column_metadata(db, "main", table.name.c_str(), column.name.c_str(), nullptr, &collation, nullptr,
                                      nullptr, nullptr);
        if (!collation || sqlite3_stricmp(collation, "NOCASE") != 0)
            return true;
    }
    return false;
}

// A rowid table without keys, unique constraints or hidden columns stores its rows the same under the new
// declaration, which createSql writes exactly (every archive an earlier version converted is one).
bool keepsItsRows(sqlite3 *db, const Table &table)
{
    if (std::any_of(table.columns.begin(), table.columns.end(), [](const Column &c) { return c.keyPosition > 0; }))
        return false;
    try {
        const StatementPtr stmt = sqlite::prepare(
            db, "SELECT (SELECT count(*) FROM pragma_index_list(?1) WHERE origin <> 'c') + "
                "(SELECT count(*) FROM pragma_table_xinfo(?1) WHERE hidden <> 0) + "
                "(SELECT count(*) FROM pragma_table_list(?1) WHERE schema = 'main' AND (type <> 'table' OR wr)), "
                "(SELECT count(*) FROM pragma_table_list(?1) WHERE schema = 'main')");
        sqlite3_bind_text(stmt.get(), 1, table.name.c_str(), -1, SQLITE_TRANSIENT);
        return sqlite3_step(stmt.get()) == SQLITE_ROW && sqlite3_column_int(stmt.get(), 0) == 0 &&
               sqlite3_column_int(stmt.get(), 1) == 1;
    } catch (const Error &) {
        return false; // an engine that cannot tell: the table is copied
    }
}

// The archive's tables whose text columns still compare letter case.
std::vector<Table> tablesToRebuild(sqlite3 *db)
{
    std::vector<Table> tables;
    const StatementPtr list = sqlite::prepare(
        db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
            "ORDER BY rowid");
    while (sqlite3_step(list.get()) == SQLITE_ROW)
        tables.push_back({columnText(list.get(), 0), {}, {}, {}, false});
    std::vector<Table> rebuilt;
    for (Table &table : tables) {
        const StatementPtr info = sqlite::prepare(db, "PRAGMA table_info(" + quoteIdentifier(table.name) + ")");
        while (sqlite3_step(info.get()) == SQLITE_ROW) {
            Column column{
                columnText(info.get(), 1), columnText(info.get(), 2),         sqlite3_column_int(info.get(), 3) != 0,
                columnText(info.get(), 4), sqlite3_column_int(info.get(), 5), false};
            column.caseBlind = isText(column.type);
            table.columns.push_back(column);
        }
        if (!comparesCase(db, table))
            continue;
        const StatementPtr indexes = sqlite::prepare(
            db, "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 ORDER BY rowid");
        sqlite3_bind_text(indexes.get(), 1, table.name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(indexes.get()) == SQLITE_ROW) {
            table.indexNames.push_back(columnText(indexes.get(), 0));
            if (sqlite3_column_type(indexes.get(), 1) != SQLITE_NULL)
                table.indexSql.push_back(columnText(indexes.get(), 1));
        }
        table.inPlace = keepsItsRows(db, table);
        rebuilt.push_back(std::move(table));
    }
    return rebuilt;
}

// The bytes the pages of a table or index take; nothing when the engine keeps no page statistics.
std::optional<std::uint64_t> bytesOf(sqlite3 *db, const std::string &name)
{
    StatementPtr stmt;
    try {
        stmt = sqlite::prepare(db, "SELECT sum(pgsize) FROM dbstat('main') WHERE name = ?1");
    } catch (const Error &) {
        return std::nullopt; // built without dbstat
    }
    sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        sqlite::raise(db);
    return static_cast<std::uint64_t>(sqlite3_column_int64(stmt.get(), 0));
}

std::uint64_t fileBytes(sqlite3 *db)
{
    const StatementPtr size =
        sqlite::prepare(db, "SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()");
    return sqlite3_step(size.get()) == SQLITE_ROW ? static_cast<std::uint64_t>(sqlite3_column_int64(size.get(), 0)) : 0;
}

// The free disk space the upgrade takes at most: a table rebuilt in place writes its indexes anew (into the
// -wal, and the engine's sorting files); a copied table is written a second time, and its old pages are
// cleared through the -wal. Without page statistics the whole file's size stands in.
std::uint64_t spaceNeeded(sqlite3 *db, const std::vector<Table> &tables)
{
    std::uint64_t needed = kMegabyte;
    for (const Table &table : tables) {
        std::vector<std::string> rewritten = table.indexNames;
        if (!table.inPlace)
            rewritten.push_back(table.name);
        std::uint64_t bytes = 0;
        for (const std::string &name : rewritten) {
            const std::optional<std::uint64_t> counted = bytesOf(db, name);
            if (!counted)
                return kMegabyte + fileBytes(db);
            bytes += *counted;
        }
        needed += (table.inPlace ? 2 : 3) * bytes;
    }
    return needed;
}

void requireFreeSpace(sqlite3 *db, const std::string &path, const std::vector<Table> &tables)
{
    struct statvfs disk {};
    const std::string folder = std::filesystem::absolute(path).parent_path().string();
    if (::statvfs(folder.c_str(), &disk) != 0)
        return; // unknown: the engine reports a full disk itself, and the upgrade is then undone
    const std::uint64_t available = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
    const std::uint64_t needed = spaceNeeded(db, tables);
    if (available < needed)
        raiseUtf8("磁碟空間不足，升級需要約 " + std::to_string((needed + kMegabyte - 1) / kMegabyte) +
                  " MB 的可用空間，" + folder + " 所在的磁碟只有 " + std::to_string(available / kMegabyte) + " MB");
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

// A table whose rows cannot stay is renamed, made again with case-blind text and filled with its rows, which
// get new rowids: a search index over such a table would have to be built again (none exists before this).
void copyTable(sqlite3 *db, const Table &table)
{
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
}

// The schema may be written only while this lives; the engine then reads it again.
class WritableSchema {
public:
    explicit WritableSchema(sqlite3 *db) : m_db(db) { sqlite::execute(db, "PRAGMA writable_schema=ON"); }
    ~WritableSchema() { sqlite::executeQuietly(m_db, "PRAGMA writable_schema=RESET"); }
    WritableSchema(const WritableSchema &) = delete;
    WritableSchema &operator=(const WritableSchema &) = delete;

private:
    sqlite3 *m_db;
};

// The tables that keep their rows get their new declarations written into the schema, which the engine
// reads again at once, so that the indexes built next follow the new comparison.
void declareInPlace(sqlite3 *db, const std::vector<Table> &tables)
{
    if (std::none_of(tables.begin(), tables.end(), [](const Table &t) { return t.inPlace; }))
        return;
    const StatementPtr version = sqlite::prepare(db, "PRAGMA schema_version");
    const sqlite3_int64 schemaVersion =
        sqlite3_step(version.get()) == SQLITE_ROW ? sqlite3_column_int64(version.get(), 0) : 0;
    {
        WritableSchema writable(db);
        const StatementPtr update =
            sqlite::prepare(db, "UPDATE sqlite_master SET sql = ?1 WHERE type = 'table' AND name = ?2");
        for (const Table &table : tables) {
            if (!table.inPlace)
                continue;
            const std::string sql = createSql(table.name, table.columns);
            sqlite3_bind_text(update.get(), 1, sql.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(update.get(), 2, table.name.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(update.get()) != SQLITE_DONE)
                sqlite::raise(db);
            sqlite3_reset(update.get());
        }
        sqlite::execute(db, "PRAGMA schema_version = " + std::to_string(schemaVersion + 1));
    }
    // An engine that did not read the schema again would build the indexes with the old comparison.
    for (const Table &table : tables)
        if (table.inPlace && comparesCase(db, table))
            raiseUtf8("資料表 " + table.name + " 的新宣告未能生效");
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
        requireFreeSpace(db, path, tables);
        if (progress && !tables.empty()) {
            progress->setRange(0, static_cast<int>(tables.size()));
            progress->setPosition(0);
        }
        declareInPlace(db, tables);
        for (const Table &table : tables) {
            if (tableStarted)
                tableStarted(table.name);
            if (progress) {
                progress->setCaption(toCp950("升級資料表 " + table.name));
                progress->processEvents();
            }
            // Rows and rowids stay where they are: only the indexes are built again, in the pages they had.
            if (table.inPlace)
                sqlite::execute(db, "REINDEX main." + quoteIdentifier(table.name));
            else
                copyTable(db, table);
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
