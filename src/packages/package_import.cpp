#include "packages/package_import.h"

#include "archive/archive_file.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/percent.h"
#include "base/progress.h"
#include "packages/package_file.h"
#include "textindex/text_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;

namespace velm {
namespace {

// A batch of merged rows is committed after this long: fewer commits, little left open. Its rows are kept until
// then, to be merged again after a refused one, so a batch also ends once they hold this much.
constexpr auto kBatchTime = std::chrono::milliseconds(250);
constexpr std::size_t kBatchBytes = 16 * 1024 * 1024;

bool g_importRunning = false;

class ImportRunning {
public:
    ImportRunning()
    {
        // Pending messages run during an import; a second import then would pull the package from under it.
        if (g_importRunning)
            raiseUtf8("另一個補充包正在匯入中，請等它完成");
        g_importRunning = true;
    }
    ~ImportRunning() { g_importRunning = false; }
    ImportRunning(const ImportRunning &) = delete;
    ImportRunning &operator=(const ImportRunning &) = delete;
};

// Rows are merged in batches, one savepoint each, for speed. A row the archive refuses rolls its batch
// back, so its own delete is undone; the rows before it in the batch are merged again and committed.
class MergeBatch {
public:
    explicit MergeBatch(Connection &archive) : m_archive(archive), m_db(archive.handle()) {}
    ~MergeBatch()
    {
        if (m_open && !sqlite::executeQuietly(m_db, "RELEASE velm_merge"))
            rollBack();
    }
    MergeBatch(const MergeBatch &) = delete;
    MergeBatch &operator=(const MergeBatch &) = delete;

    // Before each row: true when the row starts a new batch.
    bool beginRow()
    {
        // Pending messages ran since the last row: the archive must still be the one we started on.
        if (!m_archive.connected() || m_archive.handle() != m_db)
            raiseUtf8("匯入中資料庫連線已被關閉");
        if (m_open)
            return false;
        sqlite::execute(m_db, "SAVEPOINT velm_merge");
        m_open = true;
        m_started = std::chrono::steady_clock::now();
        m_bytes = 0;
        return true;
    }
    void hold(std::size_t bytes) { m_bytes += bytes; }
    bool due() const
    {
        return m_open && (m_bytes >= kBatchBytes || std::chrono::steady_clock::now() - m_started >= kBatchTime);
    }
    void commit()
    {
        if (!m_open)
            return;
        m_open = false;
        sqlite::execute(m_db, "RELEASE velm_merge");
    }
    void rollBack()
    {
        sqlite::executeQuietly(m_db, "ROLLBACK TO velm_merge");
        sqlite::executeQuietly(m_db, "RELEASE velm_merge");
        m_open = false;
    }
    void restart()
    {
        rollBack();
        beginRow();
    }

private:
    Connection &m_archive;
    sqlite3 *m_db;
    bool m_open = false;
    std::chrono::steady_clock::time_point m_started;
    std::size_t m_bytes = 0;
};

// The whole import is one transaction: other readers see the archive before or after it, and a process
// killed half-way leaves it as it was. Taking the write lock waits for an import of another process.
class ImportTransaction {
public:
    ImportTransaction(Connection &archive, ImportHost &host) : m_archive(archive), m_db(archive.handle())
    {
        // Short waits in the engine, so that the window stays alive between them.
        sqlite3_busy_timeout(m_db, 100);
        bool told = false;
        int rc;
        // A query of this connection still reading (the topic list, the page's topic) holds the archive as it
        // was when it began: once another program has written since, no wait would let the write start.
        archive.finishReading();
        while ((rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr)) == SQLITE_BUSY) {
            if (sqlite3_extended_errcode(m_db) == SQLITE_BUSY_SNAPSHOT && reading())
                raiseUtf8("無法開始匯入: 資料庫已被其他程式變更，而仍在讀取中的查詢停在變更前的內容上");
            if (!told)
                host.setStatusText(B5("等待另一個匯入完成..."));
            told = true;
            host.processEvents();
            if (!alive())
                raiseUtf8("匯入中資料庫連線已被關閉");
            archive.finishReading(); // the window may have opened a list meanwhile
        }
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        if (rc != SQLITE_OK)
            raiseUtf8(std::string("無法開始匯入: ") + sqlite3_errmsg(m_db));
        m_open = true;
    }
    ~ImportTransaction()
    {
        if (m_open && alive())
            sqlite::executeQuietly(m_db, "ROLLBACK");
    }
    ImportTransaction(const ImportTransaction &) = delete;
    ImportTransaction &operator=(const ImportTransaction &) = delete;

    void commit()
    {
        if (!m_open)
            return;
        if (!alive())
            raiseUtf8("匯入中資料庫連線已被關閉");
        // The text index takes in the merged rows within the same transaction.
        textindex::catchUp(m_db);
        m_open = false;
        sqlite::execute(m_db, "COMMIT");
    }

private:
    // Pending messages ran: the archive may have been closed or replaced meanwhile.
    bool alive() const { return m_archive.connected() && m_archive.handle() == m_db; }
    bool reading() const
    {
        for (sqlite3_stmt *stmt = sqlite3_next_stmt(m_db, nullptr); stmt; stmt = sqlite3_next_stmt(m_db, stmt))
            if (sqlite3_stmt_busy(stmt))
                return true;
        return false;
    }

    static constexpr int kBusyTimeoutMs = 5000;
    Connection &m_archive;
    sqlite3 *m_db;
    bool m_open = false;
};

// Column names go into the statement text and become parameter names: only plain names are taken.
void requirePlainName(const std::string &name)
{
    bool plain = !name.empty();
    for (unsigned char c : name)
        plain = plain && c < 0x80 && (std::isalnum(c) || c == '_');
    if (!plain)
        raiseUtf8("補充包的欄位名稱無法匯入: " + fromCp950(name));
}

// A package is data: its forum tables must hold their rows, not compute them. A view, a virtual table or a
// computed column could run without end or make values of any size.
void requireStoredTables(Connection &package)
{
    sqlite3 *db = package.handle();
    const StatementPtr entry =
        sqlite::prepare(db, "select type, rootpage from sqlite_master where name = ?1 collate nocase");
    const StatementPtr computed =
        sqlite::prepare(db, "select name from pragma_table_xinfo(?1) where hidden = 2 order by cid");
    int found = 0;
    for (const MergeStep &step : kMergePlan) {
        const std::string table = step.table;
        sqlite3_reset(entry.get());
        sqlite3_bind_text(entry.get(), 1, step.table, -1, SQLITE_STATIC);
        if (sqlite3_step(entry.get()) != SQLITE_ROW)
            continue; // a missing table fails at its own step
        const std::string type = sqlite::columnText(entry.get(), 0);
        if (type == "view")
            raiseUtf8("補充包的 " + table + " 是檢視 (view) 而不是資料表，不予匯入");
        if (type != "table")
            raiseUtf8("補充包的 " + table + " 不是資料表 (" + type + ")，不予匯入");
        if (sqlite3_column_int64(entry.get(), 1) <= 0)
            raiseUtf8("補充包的 " + table + " 是虛擬資料表，不予匯入");
        sqlite3_reset(computed.get());
        sqlite3_bind_text(computed.get(), 1, step.table, -1, SQLITE_STATIC);
        if (sqlite3_step(computed.get()) == SQLITE_ROW)
            raiseUtf8("補充包的 " + table + " 有計算欄位 " + sqlite::columnText(computed.get(), 0) + "，不予匯入");
        ++found;
    }
    if (found == 0)
        raiseUtf8("補充包中沒有任何論壇資料表 (FORUM_MEMBERS 等)，不予匯入");
}

std::string hexBytes(const std::string &raw)
{
    std::string out = "X'";
    for (unsigned char c : raw)
        appendHexByte(out, c);
    return out + "'";
}

// Numbers as SQLLiteral writes them; any text is quoted with its quotes doubled, so a key read from a
// package can never become SQL of its own.
std::string keyLiteral(const Value &value)
{
    switch (value.kind()) {
    case Value::Kind::Text:
    case Value::Kind::WideText:
    case Value::Kind::Array:
        return "'" + QuoteDoubled(value.toText()) + "'";
    case Value::Kind::DateTime:
        return "'" + QuoteDoubled(value.raw()) + "'";
    case Value::Kind::Bytes:
        return hexBytes(value.raw());
    default:
        return SQLLiteral(value);
    }
}

bool isBlank(const std::string &text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string keyClause(const Query &row, std::string keys)
{
    std::string clause;
    while (!isBlank(keys)) {
        const std::string name = CutToken(";", keys);
        clause += " and " + name + "=" + keyLiteral(row.fieldByName(name).value());
    }
    return clause.substr(std::min<std::size_t>(4, clause.size()));
}

// Deleting by key needs an index on the first key column; archives converted from Jet may lack one.
void ensureKeyIndex(Connection &archive, const std::string &table, std::string keys)
{
    const std::string first = CutToken(";", keys);
    bool found = false;
    {
        const StatementPtr stmt =
            sqlite::prepare(archive.handle(), "select 1 from pragma_index_list(?1) l join pragma_index_info(l.name) i "
                                              "where i.seqno = 0 and i.name = ?2 collate nocase");
        const std::string tableUtf8 = fromCp950(table);
        const std::string firstUtf8 = fromCp950(first);
        sqlite3_bind_text(stmt.get(), 1, tableUtf8.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt.get(), 2, firstUtf8.c_str(), -1, SQLITE_TRANSIENT);
        found = sqlite3_step(stmt.get()) == SQLITE_ROW;
    }
    if (!found)
        ExecuteQuietly("CREATE INDEX IF NOT EXISTS IX_" + table + "_" + first + " ON " + table + " (" + first + ")",
                       archive);
}

// The SET list that makes an archive row what inserting the package row would make it: the package's
// columns from their parameters, the archive's other columns their defaults.
std::string replacedColumns(Connection &archive, const std::string &table, const Query &rows)
{
    std::string set;
    for (int i = 0; i < rows.fieldCount(); ++i)
        set += (i ? "," : "") + rows.fieldName(i) + "=:" + rows.fieldName(i);
    const StatementPtr info = sqlite::prepare(archive.handle(), "SELECT name, dflt_value FROM pragma_table_info(?1)");
    const std::string tableUtf8 = fromCp950(table);
    sqlite3_bind_text(info.get(), 1, tableUtf8.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(info.get()) == SQLITE_ROW) {
        const std::string name = toCp950(sqlite::columnText(info.get(), 0));
        if (rows.findField(name) >= 0)
            continue;
        const std::string fallback = sqlite3_column_type(info.get(), 1) == SQLITE_NULL
                                         ? std::string("NULL")
                                         : toCp950(sqlite::columnText(info.get(), 1));
        set += "," + toCp950(sqlite::quoteIdentifier(fromCp950(name))) + "=" + fallback;
    }
    return set;
}

// What the current row of a streaming query costs while it is kept.
std::size_t rowBytes(Query &rows)
{
    std::size_t bytes = 0;
    for (int i = 0; i < rows.fieldCount(); ++i)
        bytes += sizeof(Value) + rows.valueAt(rows.recNo(), i).raw().size();
    return bytes;
}

std::string packageTitleOf(const std::string &path)
{
    return PackageTitle(toCp950(fs::path(dataSourceOf(path)).filename().string()));
}

// True when UPDATELOG holds a record beginning with the title's week; an archive without the table, or
// one that cannot be read, holds none.
bool titleRecorded(const std::string &title, Connection &archive)
{
    try {
        Query lookup(&archive);
        // The title's own % and _ are matched as they are.
        lookup.setSql("SELECT UPD_TITLE FROM UPDATELOG WHERE UPD_TITLE LIKE '" +
                      QuoteDoubled(LikePatternLiteral(title.substr(0, 10))) + "%' ESCAPE '\\'");
        lookup.open();
        return !lookup.isEmpty();
    } catch (const Error &) {
        return false;
    }
}

void recordPackage(const std::string &path, Connection &archive, const ImportHost &host)
{
    const std::string title = packageTitleOf(path);
    if (title.empty() || titleRecorded(title, archive))
        return;
    ExecuteQuietly("INSERT INTO UPDATELOG VALUES('" + QuoteDoubled(title) + "','" + UpdateLogDate(host.now()) + "')",
                   archive);
}

// After a failure the rows merged before it are kept; empty text, or what to add to the message when
// even they could not be kept.
std::string keepMerged(ImportTransaction &transaction)
{
    try {
        transaction.commit();
        return {};
    } catch (const Error &e) {
        return "；已匯入的資料也無法保存: " + e.utf8();
    }
}

} // namespace

void RequireWritableArchive(const Connection &archive)
{
    if (!archive.connected() || !archive.readOnly())
        return;
    const std::string path = archive.databasePath();
    std::string why = archiveReadOnlyReason(path);
    if (why.empty())
        why = "以唯讀方式開啟";
    raiseUtf8("無法匯入補充包: 資料庫檔案 " + path + " 是唯讀的（" + why + "），補充包的資料無法寫入。");
}

LocalTime CurrentLocalTime()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(millis)};
}

std::string UpdateLogDate(const LocalTime &t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::string PackageTitle(const std::string &fileNameCp950)
{
    if (fileNameCp950.size() < 7 || fileNameCp950[4] != 'W')
        return {};
    return fileNameCp950.substr(0, 4) + B5("年") + fileNameCp950.substr(5, 2) + B5("週");
}

void MergeTable(const std::string &table, const std::string &keys, Connection &archive, Connection &package,
                ImportHost &host)
{
    // The rows are read as they are merged: a package of any size takes little memory.
    Query rows(&package);
    rows.setStreaming(true);
    if (!ReopenQuery(rows, "select * from " + table, &package))
        return;
    std::string columns;
    std::string params;
    for (int i = 0; i < rows.fieldCount(); ++i) {
        const std::string &name = rows.fieldName(i);
        requirePlainName(name);
        columns += (i ? "," : "") + name;
        params += (i ? ",:" : "") + name;
    }
    Query insert(&archive);
    insert.setSql("insert into " + table + " (" + columns + ") values(:" + params + ")");
    insert.prepare();
    Query replace(&archive);
    replace.setSql("update " + table + " set " + replacedColumns(archive, table, rows) +
                   " where rowid=:velm_merge_rowid");
    replace.prepare();
    ensureKeyIndex(archive, table, keys);

    auto mergeRow = [&](const std::string &clause) {
        // A row replacing exactly one archive row takes its place, as if deleted and inserted: texts that
        // stay as they were leave the text index alone.
        Query found(&archive);
        found.setSql("select rowid from " + table + " where " + clause + " limit 2");
        found.open();
        std::vector<std::int64_t> matches;
        for (; !found.eof(); found.next())
            matches.push_back(found.field(0).asInteger());
        Query &write = matches.size() == 1 ? replace : insert;
        if (matches.size() == 1)
            replace.setParam("velm_merge_rowid", Value::integer(matches.front()));
        else if (!matches.empty())
            ExecuteSQL("DELETE FROM " + table + " where " + clause, &archive);
        for (int i = 0; i < rows.fieldCount(); ++i)
            write.setParam(rows.fieldName(i), rows.field(i).value());
        write.execSQL();
    };
    MergeBatch batch(archive);
    long long batchStart = 0;
    for (; !rows.eof(); rows.next()) {
        const std::string clause = keyClause(rows, keys);
        if (batch.beginRow()) {
            batchStart = rows.recNo();
            rows.keepFrom(batchStart);
        }
        try {
            mergeRow(clause);
        } catch (...) {
            const long long failed = rows.recNo();
            batch.restart();
            try {
                for (long long row = batchStart; row < failed; ++row) {
                    rows.moveTo(row);
                    mergeRow(keyClause(rows, keys));
                }
                batch.commit();
            } catch (...) {
                batch.rollBack();
            }
            throw;
        }
        batch.hold(rowBytes(rows));
        host.processEvents();
        // The rows come from the package as they are merged: it must still be open after pending messages ran.
        if (!rows.isOpen())
            raiseUtf8("匯入中補充包連線已被關閉");
        if (batch.due())
            batch.commit();
    }
    batch.commit();
}

void ImportPackage(const std::string &path, Connection &archive, Connection &package, ImportHost &host)
{
    ImportRunning running;
    if (!archive.connected())
        raiseUtf8("資料庫連線尚未開啟");
    RequireWritableArchive(archive);
    ImportTransaction transaction(archive, host);
    ExecuteQuietly(kCreateUpdateLogSql, archive);

    ProgressSink &progress = host.progress();
    progress.setRange(0, 6);
    progress.setPosition(0);
    progress.setCaption(B5("匯入補充包"));
    progress.show();
    progress.setPosition(1);
    const MergeStep *current = nullptr;
    try {
        package.close();
        package.setConnectionText(path);
        package.open();
        requireStoredTables(package);
        int position = 2;
        for (const MergeStep &step : kMergePlan) {
            current = &step;
            const std::string text = toCp950(step.text);
            host.setStatusText(text);
            progress.setCaption(text);
            host.processEvents();
            MergeTable(step.table, step.keys, archive, package, host);
            if (position < 6)
                progress.setPosition(position++);
        }
        current = nullptr;
        recordPackage(path, archive, host);
        transaction.commit();
        progress.setCaption(B5("匯入完成"));
        progress.setPosition(6);
        host.processEvents();
        progress.close();
        package.close();
    } catch (const Error &e) {
        // The rows merged before the failing one stay; nothing is recorded. The in-memory package goes at
        // once, and the window does not stay up behind the error box.
        package.close();
        progress.close();
        host.setStatusText({});
        const std::string lost = keepMerged(transaction);
        if (!current && lost.empty())
            throw;
        std::string message = e.utf8();
        if (current) {
            std::string step = current->text;
            while (!step.empty() && step.back() == '.')
                step.pop_back();
            message = "匯入補充包失敗: " + step + "時，資料表 " + current->table + " 發生錯誤: " + message;
        }
        raiseUtf8(message + lost);
    } catch (...) {
        package.close();
        progress.close();
        host.setStatusText({});
        keepMerged(transaction);
        throw;
    }
}

std::string RecordedPackageTitle(const std::string &path, Connection &archive)
{
    const std::string title = packageTitleOf(path);
    return !title.empty() && archive.connected() && titleRecorded(title, archive) ? title : std::string();
}

bool ImportChosenPackage(Connection &archive, Connection &package, ImportHost &host, std::string *whyUtf8)
{
    RequireWritableArchive(archive);
    std::string path = package.connectionText();
    if (isPackageFileName(path)) {
        const std::string expanded = expandedPackageName(path);
        if (!ExpandPackage(path, expanded, whyUtf8))
            return false;
        package.setConnectionText(expanded);
        path = expanded;
    }
    ImportPackage(path, archive, package, host);
    return true;
}

} // namespace velm
