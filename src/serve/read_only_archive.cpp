#include "serve/read_only_archive.h"

#include "archive/archive_file.h"
#include "base/error.h"
#include "sqlite/sqlite_db.h"

namespace velm::serve {

std::string servedArchivePath(const std::string &archivePath)
{
    const std::string path = dataSourceOf(archivePath);
    if (fileKindOf(path) == FileKind::SQLite)
        return path;
    const std::string sibling = sqliteSiblingOf(path);
    if (sibling != path && fileKindOf(sibling) == FileKind::SQLite)
        return sibling;
    if (fileKindOf(path) == FileKind::Jet)
        raiseUtf8("資料庫檔案尚未轉換，請先以 velm tree 開啟一次: " + path);
    raiseUtf8("找不到資料庫檔案: " + path);
}

std::unique_ptr<Connection> openReadOnlyArchive(const std::string &sqlitePath)
{
    // Each connection serves one thread, so SQLite's own locking of the connection is not needed.
    // Read as the window and velm read an archive they cannot write: through the WAL when its side files can be
    // used, otherwise as an unchanging file.
    sqlite::DatabasePtr db = openSqliteReadOnly(sqlitePath, SQLITE_OPEN_NOMUTEX);
    try {
        // The upper levels of the big tables' trees stay in memory across requests: 16 MB a connection.
        sqlite::execute(db.get(), "PRAGMA cache_size=-16000");
        sqlite::execute(db.get(), "select count(*) from sqlite_master");
    } catch (const Error &e) {
        raiseUtf8("無法開啟資料庫檔案: " + sqlitePath + " (" + e.utf8() + ")");
    }
    auto connection = std::make_unique<Connection>();
    connection->setConnectionText(sqlitePath);
    connection->adopt(std::move(db), sqlitePath);
    return connection;
}

} // namespace velm::serve
