#include "jet_reader.h"

#include "error.h"
#include "file_lock.h"
#include "jet_file.h"
#include "reader_process.h"
#include "sqlite_handle.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velm::jet {
namespace {

constexpr const char *kCaption = "轉換資料表 ";
constexpr const char *kWorkSuffix = ".tmp";

[[noreturn]] void cannotRead(const std::string &mdbPath, const std::string &reason)
{
    raiseUtf8("無法讀取資料庫檔案 " + mdbPath + ": " + reason);
}

// The obvious faults (missing, empty, no Jet file, cut short) are told before any helper starts.
void checkSource(const std::string &mdbPath)
{
    try {
        inspectFile(mdbPath);
    } catch (const ReadFailure &e) {
        cannotRead(mdbPath, e.what());
    }
}

// The helper writes without syncing; the data must be on disk before the name makes it the archive.
bool syncToDisk(const std::string &path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

void copyRows(sqlite3 *source, sqlite3 *target, const std::string &table)
{
    const StatementPtr select = prepare(source, "SELECT * FROM " + quoteIdentifier(table));
    const int columns = sqlite3_column_count(select.get());
    std::string sql = "INSERT INTO main." + quoteIdentifier(table) + " VALUES (";
    for (int i = 0; i < columns; ++i)
        sql += i ? ",?" : "?";
    sql += ")";
    const StatementPtr insert = prepare(target, sql);
    int rc;
    while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i)
            if (sqlite3_bind_value(insert.get(), i + 1, sqlite3_column_value(select.get(), i)) != SQLITE_OK)
                raiseSqlite(target);
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            raiseSqlite(target);
        sqlite3_reset(insert.get());
    }
    if (rc != SQLITE_DONE)
        raiseSqlite(source);
}

// A savepoint works whether or not the caller has a transaction open on the database.
class Savepoint {
public:
    explicit Savepoint(sqlite3 *db) : m_db(db) { execute(m_db, "SAVEPOINT velm_jet_load"); }
    ~Savepoint()
    {
        if (m_db) {
            sqlite3_exec(m_db, "ROLLBACK TO velm_jet_load", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "RELEASE velm_jet_load", nullptr, nullptr, nullptr);
        }
    }
    Savepoint(const Savepoint &) = delete;
    Savepoint &operator=(const Savepoint &) = delete;

    void release()
    {
        execute(m_db, "RELEASE velm_jet_load");
        m_db = nullptr;
    }

private:
    sqlite3 *m_db;
};

} // namespace

void convertFile(const std::string &mdbPath, const std::string &sqlitePath, ProgressSink *progress,
                 const std::function<void(sqlite3 *)> &finish, const std::function<void()> &beforePlacing)
{
    checkSource(mdbPath);
    const std::string cannotWrite = "無法寫入資料庫檔案 " + sqlitePath;
    // Work files of conversions that were killed are removed; those of running ones are held and stay.
    const std::string workPrefix = sqlitePath + ".part-";
    WorkFile::sweepOrphans(workPrefix, kWorkSuffix);
    std::optional<WorkFile> temporary;
    try {
        temporary.emplace(workPrefix, kWorkSuffix);
    } catch (const Error &e) {
        raiseUtf8(cannotWrite + ": " + e.utf8());
    }
    runReader({mdbPath, temporary->path(), cannotWrite, kCaption}, progress);
    try {
        SqlitePtr db = openDatabase(temporary->path(), SQLITE_OPEN_READWRITE);
        execute(db.get(), "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY");
        if (finish)
            finish(db.get());
        closeDatabase(db);
    } catch (const SqliteFailure &e) {
        raiseUtf8(cannotWrite + ": " + e.what());
    }
    if (!syncToDisk(temporary->path(), O_RDONLY))
        raiseUtf8(cannotWrite + ": 無法寫入磁碟");
    if (beforePlacing)
        beforePlacing();
    // A converted archive that is there already is never replaced: it may hold imports of its own.
    if (!renameWithoutReplacing(temporary->path(), sqlitePath))
        raiseUtf8(cannotWrite + ": 無法更名 (" + std::strerror(errno) + ")");
    temporary->keep();
    const fs::path folder = fs::path(sqlitePath).parent_path();
    syncToDisk(folder.empty() ? "." : folder.string(), O_RDONLY | O_DIRECTORY);
}

void loadIntoMemory(const std::string &mdbPath, sqlite3 *memoryDb, ProgressSink *progress)
{
    checkSource(mdbPath);
    const std::string workPrefix = (fs::temp_directory_path() / "velm-jet-").string();
    WorkFile::sweepOrphans(workPrefix, ".sqlite");
    std::optional<WorkFile> temporary;
    try {
        temporary.emplace(workPrefix, ".sqlite");
    } catch (const Error &e) {
        cannotRead(mdbPath, e.utf8());
    }
    runReader({mdbPath, temporary->path(), "無法讀取資料庫檔案 " + mdbPath + ": 暫存檔無法寫入", kCaption}, progress);
    try {
        const SqlitePtr source = openDatabase(temporary->path(), SQLITE_OPEN_READONLY);
        std::vector<std::pair<std::string, std::string>> tables;
        const StatementPtr list =
            prepare(source.get(), "SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
        while (sqlite3_step(list.get()) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(list.get(), 0)),
                                reinterpret_cast<const char *>(sqlite3_column_text(list.get(), 1)));
        Savepoint savepoint(memoryDb);
        for (const auto &[name, createSql] : tables) {
            execute(memoryDb, createSql);
            copyRows(source.get(), memoryDb, name);
            if (progress)
                progress->processEvents();
        }
        savepoint.release();
    } catch (const SqliteFailure &e) {
        cannotRead(mdbPath, e.what());
    }
}

} // namespace velm::jet
