#include "sqlite/sqlite_db.h"

#include "base/cp950.h"
#include "base/percent.h"

#include <filesystem>

namespace velm::sqlite {

Failure::Failure(const std::string &utf8Message, int code) : Error(toCp950(utf8Message)), m_code(code) {}

void raise(sqlite3 *db)
{
    if (!db)
        throw Failure("out of memory", SQLITE_NOMEM);
    throw Failure(sqlite3_errmsg(db), sqlite3_errcode(db) & 0xff);
}

DatabasePtr open(const std::string &name, int flags)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
    DatabasePtr db(raw);
    if (rc != SQLITE_OK)
        throw Failure(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc), rc & 0xff);
    return db;
}

DatabasePtr openImmutable(const std::string &path, int extraFlags)
{
    // A path keeps its separators and every visible character but those that would end it or escape.
    const KeptByte inPath = [](unsigned char c) { return c >= 0x21 && c < 0x7f && c != '%' && c != '?' && c != '#'; };
    const std::string uri = "file:" + percentEncoded(std::filesystem::absolute(path).string(), inPath) + "?immutable=1";
    return open(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | extraFlags);
}

void close(DatabasePtr &db)
{
    if (db && sqlite3_close(db.get()) != SQLITE_OK)
        raise(db.get()); // still owned: the deleter closes it once its statements are gone
    db.release();
}

void execute(sqlite3 *db, const std::string &sql)
{
    char *message = nullptr;
    if (const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message); rc != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw Failure(text, rc & 0xff);
    }
}

bool executeQuietly(sqlite3 *db, const std::string &sql)
{
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

StatementPtr prepare(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK)
        raise(db);
    return StatementPtr(statement);
}

std::string columnText(sqlite3_stmt *statement, int column)
{
    const unsigned char *text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char *>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

std::string quoteIdentifier(std::string_view name)
{
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

bool tableExists(sqlite3 *db, const std::string &table)
{
    const StatementPtr statement =
        prepare(db, "select 1 from sqlite_master where type='table' and name=?1 collate nocase");
    sqlite3_bind_text(statement.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(statement.get()) == SQLITE_ROW;
}

Transaction::Transaction(sqlite3 *db, Kind kind) : m_db(db)
{
    execute(m_db, kind == Kind::Immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction()
{
    if (m_db)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    execute(m_db, "COMMIT");
    m_db = nullptr;
}

Savepoint::Savepoint(sqlite3 *db, std::string name) : m_db(db), m_name(quoteIdentifier(name))
{
    execute(m_db, "SAVEPOINT " + m_name);
}

Savepoint::~Savepoint()
{
    if (m_open)
        rollBack();
}

void Savepoint::release()
{
    if (!m_open)
        return;
    execute(m_db, "RELEASE " + m_name);
    m_open = false;
}

void Savepoint::rollBack()
{
    if (!m_open)
        return;
    sqlite3_exec(m_db, ("ROLLBACK TO " + m_name).c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(m_db, ("RELEASE " + m_name).c_str(), nullptr, nullptr, nullptr);
    m_open = false;
}

void Interrupter::interrupt()
{
    const std::lock_guard lock(m_mutex);
    if (m_db)
        sqlite3_interrupt(m_db);
}

Interrupter::Scope::Scope(Interrupter &interrupter, sqlite3 *db) : m_interrupter(interrupter)
{
    const std::lock_guard lock(m_interrupter.m_mutex);
    m_interrupter.m_db = db;
}

Interrupter::Scope::~Scope()
{
    const std::lock_guard lock(m_interrupter.m_mutex);
    m_interrupter.m_db = nullptr;
}

} // namespace velm::sqlite
