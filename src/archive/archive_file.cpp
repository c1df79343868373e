#include "archive_file.h"

#include "cp950.h"
#include "error.h"
#include "database.h"
#include "jet_reader.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace velm {
namespace {

std::string trimmed(const std::string &s)
{
    const auto begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    const auto end = s.find_last_not_of(" \t");
    return s.substr(begin, end - begin + 1);
}

[[noreturn]] void raiseForFile(const char *what, const std::string &path, const std::string &detail = {})
{
    std::string message = std::string(what) + ": " + path;
    if (!detail.empty())
        message += " (" + detail + ")";
    raiseUtf8(message);
}

struct DatabaseCloser {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using DatabasePtr = std::unique_ptr<sqlite3, DatabaseCloser>;

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        raiseUtf8(message);
    }
}

DatabasePtr openSqlite(const std::string &path, int flags)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    DatabasePtr db(raw);
    if (rc != SQLITE_OK)
        raiseForFile("無法開啟資料庫檔案", path, db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc));
    sqlite3_busy_timeout(db.get(), 5000);
    return db;
}

bool tableExists(sqlite3 *db, const char *table)
{
    sqlite3_stmt *raw = nullptr;
    sqlite3_prepare_v2(db, "select 1 from sqlite_master where type='table' and name=?1 collate nocase", -1, &raw,
                       nullptr);
    StatementPtr stmt(raw);
    if (!stmt)
        return false;
    sqlite3_bind_text(raw, 1, table, -1, SQLITE_STATIC);
    return sqlite3_step(raw) == SQLITE_ROW;
}

} // namespace

std::string dataSourceOf(const std::string &connectionText)
{
    static constexpr std::string_view kKey = "data source=";
    std::string lower = connectionText;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto at = lower.find(kKey);
    if (at == std::string::npos)
        return trimmed(connectionText);
    const auto start = at + kKey.size();
    const auto end = connectionText.find(';', start);
    return trimmed(connectionText.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

FileKind fileKindOf(const std::string &path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return FileKind::Missing;
    std::ifstream in(path, std::ios::binary);
    char head[20] = {};
    in.read(head, sizeof head);
    const auto got = in.gcount();
    if (got >= 16 && std::memcmp(head, "SQLite format 3\0", 16) == 0)
        return FileKind::SQLite;
    if (got >= 19 && head[0] == 0 && head[1] == 1 && head[2] == 0 && head[3] == 0 &&
        (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0))
        return FileKind::Jet;
    return FileKind::Other;
}

std::string sqliteSiblingOf(const std::string &path)
{
    fs::path p(path);
    p.replace_extension(".sqlite");
    return p.string();
}

void createArchiveIndexes(sqlite3 *db)
{
    struct Index {
        const char *table;
        const char *sql;
    };
    static constexpr Index kIndexes[] = {
        {"FORUM_TOPICS", "CREATE INDEX IF NOT EXISTS IX_TOPICS_FORUM ON FORUM_TOPICS (FORUM_ID, T_LAST_POST)"},
        {"FORUM_TOPICS", "CREATE INDEX IF NOT EXISTS IX_TOPICS_ID ON FORUM_TOPICS (TOPIC_ID)"},
        {"FORUM_REPLY", "CREATE INDEX IF NOT EXISTS IX_REPLY_DATE ON FORUM_REPLY (TOPIC_ID, R_DATE)"},
        {"FORUM_REPLY", "CREATE INDEX IF NOT EXISTS IX_REPLY_ID ON FORUM_REPLY (TOPIC_ID, REPLY_ID)"},
        {"FORUM_MEMBERS", "CREATE INDEX IF NOT EXISTS IX_MEMBERS_ID ON FORUM_MEMBERS (MEMBER_ID)"},
        {"FORUM_CATEGORY", "CREATE INDEX IF NOT EXISTS IX_CATEGORY_PARENT ON FORUM_CATEGORY (CAT_PID, CAT_ORDER)"},
        {"FORUM_CATEGORY", "CREATE INDEX IF NOT EXISTS IX_CATEGORY_ID ON FORUM_CATEGORY (CAT_ID)"},
        {"FORUM_FORUM", "CREATE INDEX IF NOT EXISTS IX_FORUM_CAT ON FORUM_FORUM (CAT_ID, FORUM_ID)"},
        {"FORUM_FORUM", "CREATE INDEX IF NOT EXISTS IX_FORUM_ID ON FORUM_FORUM (FORUM_ID)"},
    };
    // An archive whose tables lack a column still opens: that index is simply not made.
    for (const Index &index : kIndexes)
        if (tableExists(db, index.table))
            sqlite3_exec(db, index.sql, nullptr, nullptr, nullptr);
}

sqlite3 *openArchiveDatabase(const std::string &path, ProgressSink *progress, std::string *databasePath)
{
    std::string target = path;
    switch (fileKindOf(path)) {
    case FileKind::SQLite:
        break;
    case FileKind::Jet:
    case FileKind::Missing: {
        // A Jet archive is never written: its SQLite sibling is made once and serves from then on.
        const std::string sibling = sqliteSiblingOf(path);
        const FileKind siblingKind = sibling == path ? FileKind::Missing : fileKindOf(sibling);
        if (siblingKind == FileKind::SQLite) {
            target = sibling;
        } else if (siblingKind == FileKind::Other) {
            raiseForFile("不是資料庫檔案", sibling);
        } else if (fileKindOf(path) == FileKind::Jet) {
            jet::convertFile(path, sibling, progress, [](sqlite3 *db) { createArchiveIndexes(db); });
            target = sibling;
        } else {
            raiseForFile("找不到資料庫檔案", path);
        }
        break;
    }
    case FileKind::Other:
        raiseForFile("不是資料庫檔案", path);
    }

    DatabasePtr db = openSqlite(target, SQLITE_OPEN_READWRITE);
    try {
        exec(db.get(), "PRAGMA journal_mode=WAL");
        exec(db.get(), "PRAGMA synchronous=NORMAL");
        exec(db.get(), "PRAGMA foreign_keys=OFF");
        if (!sqlite3_db_readonly(db.get(), "main"))
            createArchiveIndexes(db.get());
    } catch (const Error &e) {
        raiseForFile("無法開啟資料庫檔案", target, e.utf8());
    }
    if (databasePath)
        *databasePath = target;
    return db.release();
}

sqlite3 *openPackageDatabase(const std::string &path, ProgressSink *progress, std::string *databasePath)
{
    switch (fileKindOf(path)) {
    case FileKind::Missing:
        raiseForFile("找不到資料庫檔案", path);
    case FileKind::Other:
        raiseForFile("不是資料庫檔案", path);
    case FileKind::SQLite: {
        DatabasePtr db = openSqlite(path, SQLITE_OPEN_READONLY);
        try {
            exec(db.get(), "select count(*) from sqlite_master");
        } catch (const Error &e) {
            raiseForFile("無法開啟資料庫檔案", path, e.utf8());
        }
        if (databasePath)
            *databasePath = path;
        return db.release();
    }
    case FileKind::Jet:
        break;
    }
    DatabasePtr db = openSqlite(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY);
    jet::loadIntoMemory(path, db.get(), progress);
    if (databasePath)
        *databasePath = ":memory:";
    return db.release();
}

} // namespace velm
