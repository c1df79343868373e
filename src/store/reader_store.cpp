#include "store/reader_store.h"

#include "base/error.h"
#include "base/file_lock.h"
#include "base/local_time.h"

#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace velm {
namespace {

// "VELM": tells our file from any other SQLite database.
constexpr int kApplicationId = 0x56454C4D;

constexpr const char *kSchema =
    "CREATE TABLE ARCHIVES (ARCHIVE_KEY INTEGER PRIMARY KEY, LAST_PATH TEXT NOT NULL, LAST_OPENED INTEGER NOT NULL);"
    "CREATE TABLE ARCHIVE_SAMPLES (ARCHIVE_KEY INTEGER NOT NULL, TOPIC_ID INTEGER NOT NULL, T_DATE TEXT NOT NULL,"
    " PRIMARY KEY (ARCHIVE_KEY, TOPIC_ID, T_DATE)) WITHOUT ROWID;"
    "CREATE TABLE READ_MARKS (ARCHIVE_KEY INTEGER NOT NULL, TOPIC_ID INTEGER NOT NULL, SEEN_LAST_POST TEXT NOT NULL,"
    " SEEN_REPLIES INTEGER NOT NULL, READ_AT INTEGER NOT NULL, PRIMARY KEY (ARCHIVE_KEY, TOPIC_ID)) WITHOUT ROWID;"
    "CREATE TABLE BOOKMARKS (ARCHIVE_KEY INTEGER NOT NULL, KIND TEXT NOT NULL, ITEM_ID INTEGER NOT NULL,"
    " TITLE TEXT NOT NULL, ADDED_AT INTEGER NOT NULL, PRIMARY KEY (ARCHIVE_KEY, KIND, ITEM_ID));"
    "CREATE TABLE RECENT_ARCHIVES (PATH TEXT PRIMARY KEY, OPENED_AT INTEGER NOT NULL);";

constexpr const char *kTables[] = {"ARCHIVES", "ARCHIVE_SAMPLES", "READ_MARKS", "BOOKMARKS", "RECENT_ARCHIVES"};

// A damaged file shows itself by these codes; anything else (a lock held too long) is no reason to set it aside.
bool isDamage(sqlite3 *db)
{
    const int code = sqlite3_errcode(db);
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

std::int64_t integerOf(sqlite3 *db, const std::string &sql)
{
    const sqlite::StatementPtr stmt = sqlite::prepare(db, sql);
    const int rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_ROW)
        return sqlite3_column_int64(stmt.get(), 0);
    if (rc != SQLITE_DONE)
        sqlite::raise(db);
    return 0;
}

std::string textOf(sqlite3 *db, const std::string &sql)
{
    const sqlite::StatementPtr stmt = sqlite::prepare(db, sql);
    const int rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_ROW)
        return sqlite::columnText(stmt.get(), 0);
    if (rc != SQLITE_DONE)
        sqlite::raise(db);
    return {};
}

void bindText(sqlite3_stmt *stmt, int index, const std::string &text)
{
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// True while the statement gives rows; a failure is raised, never taken for the end.
bool nextRow(sqlite3 *db, sqlite3_stmt *stmt)
{
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        sqlite::raise(db);
    return rc == SQLITE_ROW;
}

void stepDone(sqlite3 *db, sqlite3_stmt *stmt)
{
    if (sqlite3_step(stmt) != SQLITE_DONE)
        sqlite::raise(db);
    sqlite3_reset(stmt);
}

std::int64_t secondsNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

sqlite::DatabasePtr openFile(const std::string &path, int flags)
{
    sqlite::DatabasePtr db = sqlite::open(path, flags);
    sqlite3_busy_timeout(db.get(), 5000);
    return db;
}

} // namespace

std::string ReaderStore::defaultPath()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const fs::path folder = (data.isEmpty() ? fs::temp_directory_path() : fs::path(data.toStdString())) / "velm-reader";
    return (folder / "reader-state.db").string();
}

ReaderStore::ReaderStore(std::string path) : m_path(std::move(path))
{
    std::error_code ec;
    if (!fs::exists(m_path, ec)) {
        fs::create_directories(fs::path(m_path).parent_path(), ec);
        create();
        return;
    }
    m_db = openFile(m_path, SQLITE_OPEN_READWRITE);
    if (const std::string why = unsoundReason(); !why.empty()) {
        setAside(why);
        create();
        return;
    }
    sqlite::execute(m_db.get(), "PRAGMA synchronous=NORMAL");
}

std::optional<ReaderStore> ReaderStore::openExisting(const std::string &path, std::string *notice)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return std::nullopt;
    ReaderStore store;
    store.m_path = path;
    store.m_db = openFile(path, SQLITE_OPEN_READWRITE);
    if (const std::string why = store.unsoundReason(); !why.empty()) {
        if (notice)
            *notice = "讀者資料檔 " + path + " 無法使用（" + why + "）";
        return std::nullopt;
    }
    return store;
}

std::string ReaderStore::unsoundReason()
{
    sqlite3 *db = m_db.get();
    try {
        if (integerOf(db, "PRAGMA application_id") != kApplicationId)
            return "不是本程式的讀者資料檔";
        const std::int64_t version = integerOf(db, "PRAGMA user_version");
        if (version < 1 || version > kSchemaVersion)
            return "不明的版本 " + std::to_string(version);
        for (const char *table : kTables)
            if (!sqlite::tableExists(db, table))
                return std::string("缺少資料表 ") + table;
        if (const std::string check = textOf(db, "PRAGMA quick_check(1)"); check != "ok")
            return "檔案已損壞: " + check;
    } catch (const Error &e) {
        if (!isDamage(db))
            raiseUtf8("無法開啟讀者資料檔 " + m_path + ": " + e.utf8());
        return "檔案已損壞: " + e.utf8();
    }
    return {};
}

void ReaderStore::setAside(const std::string &why)
{
    m_db.reset();
    const std::string base = m_path + LocalTimeNow(".damaged-%Y%m%d-%H%M%S");
    std::string aside = base;
    for (int n = 2; !renameWithoutReplacing(m_path, aside); ++n) {
        if (errno != EEXIST)
            raiseUtf8("讀者資料檔 " + m_path + " 無法使用（" + why + "），也無法改名保留: " + std::strerror(errno));
        aside = base + "-" + std::to_string(n);
    }
    // A log left beside it belongs to the file set aside; a new file must never take it for its own.
    for (const char *side : {"-wal", "-shm"}) {
        std::error_code ec;
        if (fs::exists(m_path + side, ec))
            renameWithoutReplacing(m_path + side, aside + side);
    }
    m_notice = "讀者資料檔 " + m_path + " 無法使用（" + why + "），已改名為 " + aside +
               " 保留，並已建立新的讀者資料檔；先前的已讀標記、我的最愛與最近開啟的資料庫不再列出。";
}

void ReaderStore::create()
{
    m_db = openFile(m_path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite::execute(m_db.get(), "PRAGMA journal_mode=WAL");
    sqlite::execute(m_db.get(), "PRAGMA synchronous=NORMAL");
    sqlite::Transaction transaction(m_db.get(), sqlite::Transaction::Kind::Immediate);
    sqlite::execute(m_db.get(), kSchema);
    sqlite::execute(m_db.get(), "PRAGMA application_id=" + std::to_string(kApplicationId));
    sqlite::execute(m_db.get(), "PRAGMA user_version=" + std::to_string(kSchemaVersion));
    transaction.commit();
}

std::optional<ArchiveKey> ReaderStore::identify(const ArchiveSample &sample, const std::string &archivePath,
                                                bool create)
{
    sqlite3 *db = m_db.get();
    struct Known {
        ArchiveKey key;
        std::string path;
        ArchiveSample sample;
    };
    std::vector<Known> known;
    {
        const sqlite::StatementPtr archives =
            sqlite::prepare(db, "SELECT ARCHIVE_KEY, LAST_PATH FROM ARCHIVES ORDER BY "
                                "LAST_OPENED DESC");
        while (nextRow(db, archives.get()))
            known.push_back({sqlite3_column_int64(archives.get(), 0), sqlite::columnText(archives.get(), 1), {}});
        const sqlite::StatementPtr samples = sqlite::prepare(
            db, "SELECT TOPIC_ID, T_DATE FROM ARCHIVE_SAMPLES WHERE ARCHIVE_KEY=? ORDER BY TOPIC_ID, T_DATE");
        for (Known &k : known) {
            sqlite3_bind_int64(samples.get(), 1, k.key);
            while (nextRow(db, samples.get()))
                k.sample.emplace_back(sqlite3_column_int64(samples.get(), 0), sqlite::columnText(samples.get(), 1));
            sqlite3_reset(samples.get());
        }
    }
    // The best match by content; an archive without topics is known by its path alone.
    const Known *match = nullptr;
    std::size_t best = 0;
    for (const Known &k : known) {
        if (SameArchive(k.sample, sample) && SharedTopics(k.sample, sample) > best) {
            match = &k;
            best = SharedTopics(k.sample, sample);
        }
    }
    if (!match)
        for (const Known &k : known)
            if ((k.sample.empty() || sample.empty()) && k.path == archivePath) {
                match = &k;
                break;
            }
    if (!match && !create)
        return std::nullopt;
    if (match && !create)
        return match->key;

    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Immediate);
    const std::int64_t order = integerOf(db, "SELECT coalesce(max(LAST_OPENED), 0) + 1 FROM ARCHIVES");
    ArchiveKey key;
    if (match) {
        key = match->key;
        const sqlite::StatementPtr update =
            sqlite::prepare(db, "UPDATE ARCHIVES SET LAST_PATH=?, LAST_OPENED=? WHERE ARCHIVE_KEY=?");
        bindText(update.get(), 1, archivePath);
        sqlite3_bind_int64(update.get(), 2, order);
        sqlite3_bind_int64(update.get(), 3, key);
        stepDone(db, update.get());
        sqlite::execute(db, "DELETE FROM ARCHIVE_SAMPLES WHERE ARCHIVE_KEY=" + std::to_string(key));
    } else {
        const sqlite::StatementPtr insert =
            sqlite::prepare(db, "INSERT INTO ARCHIVES (LAST_PATH, LAST_OPENED) VALUES (?, ?)");
        bindText(insert.get(), 1, archivePath);
        sqlite3_bind_int64(insert.get(), 2, order);
        stepDone(db, insert.get());
        key = sqlite3_last_insert_rowid(db);
    }
    // The sample follows the archive as it changes, so a slow drift never loses it.
    const sqlite::StatementPtr add =
        sqlite::prepare(db, "INSERT OR IGNORE INTO ARCHIVE_SAMPLES (ARCHIVE_KEY, TOPIC_ID, T_DATE) VALUES (?, ?, ?)");
    for (const auto &[topicId, date] : sample) {
        sqlite3_bind_int64(add.get(), 1, key);
        sqlite3_bind_int64(add.get(), 2, topicId);
        bindText(add.get(), 3, date);
        stepDone(db, add.get());
    }
    transaction.commit();
    return key;
}

std::unordered_map<std::int64_t, TopicSeen> ReaderStore::readMarks(ArchiveKey archive) const
{
    const sqlite::StatementPtr stmt = sqlite::prepare(
        m_db.get(), "SELECT TOPIC_ID, SEEN_LAST_POST, SEEN_REPLIES FROM READ_MARKS WHERE ARCHIVE_KEY=?");
    sqlite3_bind_int64(stmt.get(), 1, archive);
    std::unordered_map<std::int64_t, TopicSeen> marks;
    while (nextRow(m_db.get(), stmt.get()))
        marks[sqlite3_column_int64(stmt.get(), 0)] = {sqlite::columnText(stmt.get(), 1),
                                                      sqlite3_column_int64(stmt.get(), 2)};
    return marks;
}

void ReaderStore::markRead(ArchiveKey archive, const std::vector<TopicMark> &marks)
{
    sqlite3 *db = m_db.get();
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Immediate);
    const sqlite::StatementPtr stmt =
        sqlite::prepare(db, "INSERT OR REPLACE INTO READ_MARKS (ARCHIVE_KEY, TOPIC_ID, SEEN_LAST_POST, SEEN_REPLIES, "
                            "READ_AT) VALUES (?, ?, ?, ?, ?)");
    const std::int64_t now = secondsNow();
    for (const TopicMark &mark : marks) {
        sqlite3_bind_int64(stmt.get(), 1, archive);
        sqlite3_bind_int64(stmt.get(), 2, mark.topicId);
        bindText(stmt.get(), 3, mark.seen.lastPost);
        sqlite3_bind_int64(stmt.get(), 4, mark.seen.replies);
        sqlite3_bind_int64(stmt.get(), 5, now);
        stepDone(db, stmt.get());
    }
    transaction.commit();
}

std::vector<Bookmark> ReaderStore::bookmarks() const
{
    const sqlite::StatementPtr stmt =
        sqlite::prepare(m_db.get(), "SELECT b.ARCHIVE_KEY, b.KIND, b.ITEM_ID, b.TITLE, a.LAST_PATH FROM BOOKMARKS b "
                                    "JOIN ARCHIVES a ON a.ARCHIVE_KEY=b.ARCHIVE_KEY ORDER BY a.LAST_OPENED DESC, "
                                    "b.ADDED_AT, b.rowid");
    std::vector<Bookmark> list;
    while (nextRow(m_db.get(), stmt.get())) {
        const std::string kind = sqlite::columnText(stmt.get(), 1);
        list.push_back({sqlite3_column_int64(stmt.get(), 0), kind == "F" ? BookmarkKind::Forum : BookmarkKind::Topic,
                        sqlite3_column_int64(stmt.get(), 2), sqlite::columnText(stmt.get(), 3),
                        sqlite::columnText(stmt.get(), 4)});
    }
    return list;
}

bool ReaderStore::isBookmarked(ArchiveKey archive, BookmarkKind kind, std::int64_t id) const
{
    return integerOf(m_db.get(), "SELECT count(*) FROM BOOKMARKS WHERE ARCHIVE_KEY=" + std::to_string(archive) +
                                     " AND KIND='" + static_cast<char>(kind) + "' AND ITEM_ID=" + std::to_string(id)) >
           0;
}

void ReaderStore::addBookmark(ArchiveKey archive, BookmarkKind kind, std::int64_t id, const std::string &title)
{
    sqlite3 *db = m_db.get();
    const sqlite::StatementPtr stmt = sqlite::prepare(
        db, "INSERT OR REPLACE INTO BOOKMARKS (ARCHIVE_KEY, KIND, ITEM_ID, TITLE, ADDED_AT) VALUES (?, ?, ?, ?, ?)");
    sqlite3_bind_int64(stmt.get(), 1, archive);
    bindText(stmt.get(), 2, std::string(1, static_cast<char>(kind)));
    sqlite3_bind_int64(stmt.get(), 3, id);
    bindText(stmt.get(), 4, title);
    sqlite3_bind_int64(stmt.get(), 5, secondsNow());
    stepDone(db, stmt.get());
}

void ReaderStore::removeBookmark(ArchiveKey archive, BookmarkKind kind, std::int64_t id)
{
    sqlite::execute(m_db.get(), "DELETE FROM BOOKMARKS WHERE ARCHIVE_KEY=" + std::to_string(archive) + " AND KIND='" +
                                    static_cast<char>(kind) + "' AND ITEM_ID=" + std::to_string(id));
}

std::vector<std::string> ReaderStore::recentArchives() const
{
    const sqlite::StatementPtr stmt = sqlite::prepare(
        m_db.get(), "SELECT PATH FROM RECENT_ARCHIVES ORDER BY OPENED_AT DESC LIMIT " + std::to_string(kRecentLimit));
    std::vector<std::string> paths;
    while (nextRow(m_db.get(), stmt.get()))
        paths.push_back(sqlite::columnText(stmt.get(), 0));
    return paths;
}

void ReaderStore::rememberArchive(const std::string &archivePath)
{
    sqlite3 *db = m_db.get();
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Immediate);
    const sqlite::StatementPtr stmt = sqlite::prepare(
        db, "INSERT OR REPLACE INTO RECENT_ARCHIVES (PATH, OPENED_AT) SELECT ?, coalesce(max(OPENED_AT), 0) + 1 FROM "
            "RECENT_ARCHIVES");
    bindText(stmt.get(), 1, archivePath);
    stepDone(db, stmt.get());
    sqlite::execute(db, "DELETE FROM RECENT_ARCHIVES WHERE PATH NOT IN (SELECT PATH FROM RECENT_ARCHIVES ORDER BY "
                        "OPENED_AT DESC LIMIT " +
                            std::to_string(kRecentLimit) + ")");
    transaction.commit();
}

void ReaderStore::forgetArchive(const std::string &archivePath)
{
    const sqlite::StatementPtr stmt = sqlite::prepare(m_db.get(), "DELETE FROM RECENT_ARCHIVES WHERE PATH=?");
    bindText(stmt.get(), 1, archivePath);
    stepDone(m_db.get(), stmt.get());
}

} // namespace velm
