#include "archive/jet/jet_reader.h"

#include "archive/jet/jet_file.h"
#include "archive/jet/reader_process.h"
#include "base/error.h"
#include "base/file_lock.h"
#include "sqlite/sqlite_db.h"

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
        sqlite::DatabasePtr db = sqlite::open(temporary->path(), SQLITE_OPEN_READWRITE);
        sqlite::execute(db.get(), "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY");
        if (finish)
            finish(db.get());
        sqlite::close(db);
    } catch (const sqlite::Failure &e) {
        raiseUtf8(cannotWrite + ": " + e.utf8());
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

sqlite::DatabasePtr openCopy(const std::string &mdbPath, ProgressSink *progress)
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
        sqlite::DatabasePtr copy = sqlite::openImmutable(temporary->path());
        // Read once while it has its name; the work file's removal then leaves it to this connection alone.
        sqlite::execute(copy.get(), "SELECT count(*) FROM sqlite_master");
        return copy;
    } catch (const sqlite::Failure &e) {
        cannotRead(mdbPath, e.utf8());
    }
}

} // namespace velm::jet
