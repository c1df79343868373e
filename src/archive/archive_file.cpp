#include "archive/archive_file.h"

#include "archive/archive_upgrade.h"
#include "archive/database.h"
#include "archive/jet/jet_reader.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/file_lock.h"
#include "base/open_files.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

using sqlite::DatabasePtr;
using sqlite::StatementPtr;
using sqlite::tableExists;

DatabasePtr openSqlite(const std::string &name, int flags, const std::string &path = {})
{
    DatabasePtr db;
    try {
        db = sqlite::open(name, flags);
    } catch (const Error &e) {
        raiseForFile("無法開啟資料庫檔案", path.empty() ? name : path, e.utf8());
    }
    sqlite3_busy_timeout(db.get(), 5000);
    return db;
}

// A package is data from anywhere: nothing in its schema runs as trusted code, and no single value it holds
// may be longer than the limit.
DatabasePtr boundedPackage(DatabasePtr db)
{
    sqlite3_limit(db.get(), SQLITE_LIMIT_LENGTH, kPackageValueLimit);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    return db;
}

// The first bytes of a file, read through SQLite: for a file that this process holds open, SQLite keeps the
// descriptor it opened until its own locks on the file are gone, so closing it drops none of them.
std::string headThroughSqlite(const std::string &path, int size)
{
    sqlite3_vfs *vfs = sqlite3_vfs_find(nullptr);
    std::vector<std::max_align_t> storage((vfs->szOsFile + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
    auto *file = reinterpret_cast<sqlite3_file *>(storage.data());
    std::string head;
    if (vfs->xOpen(vfs, path.c_str(), file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, nullptr) == SQLITE_OK) {
        head.assign(static_cast<std::size_t>(size), '\0');
        const int rc = file->pMethods->xRead(file, head.data(), size, 0);
        if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) // a short read fills the rest with zeros
            head.clear();
    }
    if (file->pMethods)
        file->pMethods->xClose(file);
    return head;
}

bool canWrite(const std::string &path, int mode)
{
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

std::string folderOf(const std::string &path)
{
    return fs::absolute(path).parent_path().string();
}

SourceChangedHandler &sourceChangedHandler()
{
    static SourceChangedHandler handler;
    return handler;
}

ArchiveNoticeHandler &noticeHandler()
{
    static ArchiveNoticeHandler handler;
    return handler;
}

void tell(ArchiveNotice kind, const std::string &utf8)
{
    if (noticeHandler())
        noticeHandler()(kind, utf8);
}

// An archive of an earlier form is brought to the current one; one that cannot be opens as it is.
void upgradeIfOlder(sqlite3 *db, const std::string &path, ProgressSink *progress)
{
    try {
        if (!archiveNeedsUpgrade(db))
            return;
        if (sqlite3_db_readonly(db, "main"))
            raiseUtf8("無法升級資料庫檔案 " + path + ": 檔案無法寫入");
        upgradeArchive(db, path, progress,
                       [](const std::string &table) { tell(ArchiveNotice::Step, "升級資料表 " + table); });
    } catch (const Error &e) {
        tell(ArchiveNotice::Warning, e.utf8() + "。資料庫照原樣開啟，文字比對會區分大小寫。");
    }
}

// Which Access file a converted archive was made from: its size and modification time.
struct SourceStamp {
    long long size = 0;
    long long modified = 0; // nanoseconds since the epoch
    bool operator==(const SourceStamp &) const = default;
};

constexpr const char *kSourceTable = "VELM_SOURCE";

SourceStamp stampOf(const std::string &path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        raiseForFile("找不到資料庫檔案", path);
    return {static_cast<long long>(info.st_size),
            static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

void recordSource(sqlite3 *db, const SourceStamp &stamp)
{
    sqlite::execute(db, "CREATE TABLE IF NOT EXISTS VELM_SOURCE (SOURCE_SIZE INTEGER, SOURCE_MTIME INTEGER)");
    sqlite::execute(db, "DELETE FROM VELM_SOURCE");
    const std::string insert =
        "INSERT INTO VELM_SOURCE VALUES (" + std::to_string(stamp.size) + "," + std::to_string(stamp.modified) + ")";
    sqlite::execute(db, insert);
}

std::optional<SourceStamp> recordedSource(sqlite3 *db)
{
    if (!tableExists(db, kSourceTable))
        return std::nullopt;
    const StatementPtr stmt = sqlite::prepare(db, "SELECT SOURCE_SIZE, SOURCE_MTIME FROM VELM_SOURCE");
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        return std::nullopt;
    return SourceStamp{sqlite3_column_int64(stmt.get(), 0), sqlite3_column_int64(stmt.get(), 1)};
}

// True when the Access file changed since the archive was converted from it. An archive converted before
// the source was recorded takes the file as it is now for its source.
bool sourceChanged(const std::string &sqlitePath, const SourceStamp &now)
{
    DatabasePtr db = openSqlite(sqlitePath, SQLITE_OPEN_READWRITE);
    const std::optional<SourceStamp> recorded = recordedSource(db.get());
    if (recorded)
        return !(*recorded == now);
    if (!sqlite3_db_readonly(db.get(), "main")) {
        try {
            recordSource(db.get(), now);
        } catch (const Error &) {
            // Busy or full: the record is made on a later open.
        }
    }
    return false;
}

// The converted archive makes way for a new conversion: it is kept as X.sqlite.old (or .old.2, ...).
void retireConverted(const std::string &sqlitePath)
{
    {
        DatabasePtr db = openSqlite(sqlitePath, SQLITE_OPEN_READWRITE);
        // Leaving WAL needs the file to itself: no other program has it open, and its -wal is folded in.
        bool left = false;
        try {
            const StatementPtr stmt = sqlite::prepare(db.get(), "PRAGMA journal_mode=DELETE");
            left = sqlite3_step(stmt.get()) == SQLITE_ROW && sqlite::columnText(stmt.get(), 0) == "delete";
        } catch (const Error &) {
            // busy: another program has it open
        }
        if (!left)
            raiseForFile("資料庫檔案正由其他程式使用，無法重新轉換", sqlitePath);
    }
    for (int n = 1;; ++n) {
        const std::string old = sqlitePath + ".old" + (n == 1 ? std::string() : "." + std::to_string(n));
        if (renameWithoutReplacing(sqlitePath, old))
            return;
        if (errno != EEXIST)
            raiseForFile("無法更名資料庫檔案", sqlitePath, std::strerror(errno));
    }
}

void convertArchive(const std::string &mdbPath, const std::string &sqlitePath, ProgressSink *progress, bool replacing)
{
    const SourceStamp stamp = stampOf(mdbPath);
    jet::convertFile(
        mdbPath, sqlitePath, progress,
        [&](sqlite3 *db) {
            createArchiveIndexes(db);
            recordSource(db, stamp);
            markCurrentForm(db);
        },
        [&] {
            if (replacing)
                retireConverted(sqlitePath);
        });
}

} // namespace

void setSourceChangedHandler(SourceChangedHandler handler)
{
    sourceChangedHandler() = std::move(handler);
}

void setArchiveNoticeHandler(ArchiveNoticeHandler handler)
{
    noticeHandler() = std::move(handler);
}

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
    // The -wal or -shm of a database this process holds is no archive, and is never opened a second time.
    if (const std::optional<std::string> held = heldOpenAs(path); held && isDatabaseSideFile(*held))
        return FileKind::Other;
    const std::string head = headThroughSqlite(path, 20);
    if (head.size() >= 16 && std::memcmp(head.data(), "SQLite format 3\0", 16) == 0)
        return FileKind::SQLite;
    if (head.size() >= 19 && head[0] == 0 && head[1] == 1 && head[2] == 0 && head[3] == 0 &&
        (head.compare(4, 15, "Standard Jet DB") == 0 || head.compare(4, 15, "Standard ACE DB") == 0))
        return FileKind::Jet;
    return FileKind::Other;
}

std::string archiveReadOnlyReason(const std::string &path)
{
    const std::string folder = folderOf(path);
    struct statvfs medium {};
    if (::statvfs(folder.c_str(), &medium) == 0 && (medium.f_flag & ST_RDONLY))
        return "所在的媒體是唯讀的";
    if (!canWrite(folder, W_OK | X_OK))
        return "所在的資料夾無法寫入";
    if (!canWrite(path, W_OK))
        return "檔案無法寫入";
    return {};
}

// An archive that cannot be written where it lies is read there as it is: through SQLite's read-only WAL
// support where the -wal and -shm can be used, otherwise as a file that nothing changes (nothing can write
// it there either), as long as no -wal holds data that would then be missed.
sqlite::DatabasePtr openSqliteReadOnly(const std::string &path, int extraFlags)
{
    DatabasePtr db = openSqlite(path, SQLITE_OPEN_READONLY | extraFlags);
    if (sqlite::executeQuietly(db.get(), "select count(*) from sqlite_master"))
        return db;
    const int rc = sqlite3_errcode(db.get());
    if (rc != SQLITE_CANTOPEN && rc != SQLITE_READONLY)
        raiseForFile("無法開啟資料庫檔案", path, sqlite3_errmsg(db.get()));
    std::error_code ec;
    if (fs::file_size(path + "-wal", ec) > 0 && !ec)
        raiseForFile("無法開啟資料庫檔案", path,
                     "它的 -wal 檔還有尚未寫入資料庫的資料，而這個位置無法寫入；請在可寫入的位置開啟它一次");
    try {
        db = sqlite::openImmutable(path, extraFlags);
    } catch (const Error &e) {
        raiseForFile("無法開啟資料庫檔案", path, e.utf8());
    }
    sqlite3_busy_timeout(db.get(), 5000);
    return db;
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
            sqlite::executeQuietly(db, index.sql);
}

sqlite3 *openArchiveDatabase(const std::string &path, ProgressSink *progress, std::string *databasePath)
{
    std::string target = path;
    FileLock conversionLock;
    switch (fileKindOf(path)) {
    case FileKind::SQLite:
        break;
    case FileKind::Jet: {
        // A Jet archive is never written: its SQLite sibling is made once and serves from then on.
        const std::string sibling = sqliteSiblingOf(path);
        if (sibling == path)
            raiseForFile("不是資料庫檔案", path);
        // One process converts at a time; another waits here and then opens what the first one made.
        conversionLock = FileLock::acquire(path, [progress] {
            if (progress) {
                progress->setCaption(B5("等待其他程式轉換資料庫..."));
                progress->processEvents();
            }
        });
        switch (fileKindOf(sibling)) {
        case FileKind::SQLite: {
            const SourceChangedHandler &changed = sourceChangedHandler();
            if (sourceChanged(sibling, stampOf(path)) && changed && changed(path, sibling))
                convertArchive(path, sibling, progress, true);
            break;
        }
        case FileKind::Missing:
            convertArchive(path, sibling, progress, false);
            break;
        case FileKind::Other:
        case FileKind::Jet:
            raiseForFile("不是資料庫檔案", sibling);
        }
        target = sibling;
        break;
    }
    case FileKind::Missing: {
        const std::string sibling = sqliteSiblingOf(path);
        const FileKind siblingKind = sibling == path ? FileKind::Missing : fileKindOf(sibling);
        if (siblingKind == FileKind::Missing)
            raiseForFile("找不到資料庫檔案", path);
        if (siblingKind != FileKind::SQLite)
            raiseForFile("不是資料庫檔案", sibling);
        target = sibling;
        break;
    }
    case FileKind::Other:
        raiseForFile("不是資料庫檔案", path);
    }

    // A file the user cannot write, or one in a folder or on a medium that takes no writes (an installed
    // demo archive, a disc), opens read-only, in the journal mode it has.
    DatabasePtr db =
        archiveReadOnlyReason(target).empty() ? openSqlite(target, SQLITE_OPEN_READWRITE) : openSqliteReadOnly(target);
    try {
        if (!sqlite3_db_readonly(db.get(), "main"))
            sqlite::execute(db.get(), "PRAGMA journal_mode=WAL");
        sqlite::execute(db.get(), "PRAGMA synchronous=NORMAL");
        sqlite::execute(db.get(), "PRAGMA foreign_keys=OFF");
        upgradeIfOlder(db.get(), target, progress);
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
    // A file this process holds (the archive itself, its -wal or -shm) is no package, and is not opened again.
    if (heldOpenAs(path))
        raiseForFile("這個檔案正由本程式開啟使用中，不能當作補充包", path);
    DatabasePtr db;
    switch (fileKindOf(path)) {
    case FileKind::Missing:
        raiseForFile("找不到資料庫檔案", path);
    case FileKind::Other:
        raiseForFile("不是資料庫檔案", path);
    case FileKind::SQLite:
        // A package is only read: opened immutable, it gets no -wal or -shm beside it and is never written.
        try {
            db = sqlite::openImmutable(path);
            sqlite::execute(db.get(), "select count(*) from sqlite_master");
        } catch (const Error &e) {
            raiseForFile("無法開啟資料庫檔案", path, e.utf8());
        }
        break;
    case FileKind::Jet:
        db = jet::openCopy(path, progress);
        break;
    }
    if (databasePath)
        *databasePath = path;
    return boundedPackage(std::move(db)).release();
}

} // namespace velm
