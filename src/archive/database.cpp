#include "archive/database.h"

#include "archive/archive_file.h"
#include "archive/database_internal.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/percent.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <limits>

namespace velm {

bool database_internal::sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

namespace {

using database_internal::sameName;

std::string upperBaseType(std::string_view declared)
{
    std::string out;
    for (char c : declared) {
        if (c == '(' || c == ' ')
            break;
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

bool isTextType(FieldType t)
{
    return t == FieldType::Text || t == FieldType::Memo || t == FieldType::Guid;
}

Value readColumn(sqlite3_stmt *stmt, int i, FieldType type)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(stmt, i);
        if (type == FieldType::Boolean)
            return Value::boolean(v != 0);
        if (isTextType(type))
            return Value::wide(std::to_string(v));
        return Value::integer(v);
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(stmt, i);
        if (isTextType(type))
            return Value::wide(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)));
        return Value::real(d);
    }
    case SQLITE_TEXT: {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
        std::string s(p, static_cast<size_t>(sqlite3_column_bytes(stmt, i)));
        if (type == FieldType::DateTime)
            return Value::dateTime(std::move(s));
        return Value::wide(std::move(s));
    }
    case SQLITE_BLOB: {
        const auto *p = static_cast<const char *>(sqlite3_column_blob(stmt, i));
        return Value::bytes(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt, i))));
    }
    default:
        return Value::null();
    }
}

void bindValue(sqlite3_stmt *stmt, int index, const Value &v)
{
    switch (v.kind()) {
    case Value::Kind::Boolean:
        sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0);
        break;
    case Value::Kind::Integer:
        sqlite3_bind_int64(stmt, index, v.toInt());
        break;
    case Value::Kind::Float:
        sqlite3_bind_double(stmt, index, v.toDouble());
        break;
    case Value::Kind::Text: {
        const std::string utf8 = fromCp950(v.raw());
        sqlite3_bind_text64(stmt, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    case Value::Kind::WideText:
    case Value::Kind::DateTime:
        sqlite3_bind_text64(stmt, index, v.raw().data(), v.raw().size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    case Value::Kind::Bytes:
        sqlite3_bind_blob64(stmt, index, v.raw().data(), v.raw().size(), SQLITE_TRANSIENT);
        break;
    case Value::Kind::Array: {
        const std::string text = v.toUtf8();
        sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    default:
        sqlite3_bind_null(stmt, index);
    }
}

} // namespace

FieldType fieldTypeOf(std::string_view declaredType)
{
    struct Name {
        const char *name;
        FieldType type;
    };
    static constexpr Name kNames[] = {
        {"VARCHAR", FieldType::Text},       {"CHAR", FieldType::Text},        {"TEXT", FieldType::Text},
        {"NVARCHAR", FieldType::Text},      {"NCHAR", FieldType::Text},       {"STRING", FieldType::Text},
        {"CHARACTER", FieldType::Text},     {"LONGTEXT", FieldType::Memo},    {"MEMO", FieldType::Memo},
        {"NTEXT", FieldType::Memo},         {"CLOB", FieldType::Memo},        {"LONGCHAR", FieldType::Memo},
        {"SMALLINT", FieldType::SmallInt},  {"SHORT", FieldType::SmallInt},   {"INT2", FieldType::SmallInt},
        {"INTEGER", FieldType::Integer},    {"INT", FieldType::Integer},      {"LONG", FieldType::Integer},
        {"COUNTER", FieldType::Integer},    {"INT4", FieldType::Integer},     {"BYTE", FieldType::Byte},
        {"TINYINT", FieldType::Byte},       {"BOOLEAN", FieldType::Boolean},  {"BIT", FieldType::Boolean},
        {"YESNO", FieldType::Boolean},      {"LOGICAL", FieldType::Boolean},  {"REAL", FieldType::Float},
        {"SINGLE", FieldType::Float},       {"FLOAT", FieldType::Float},      {"DOUBLE", FieldType::Float},
        {"FLOAT4", FieldType::Float},       {"FLOAT8", FieldType::Float},     {"CURRENCY", FieldType::Currency},
        {"MONEY", FieldType::Currency},     {"DECIMAL", FieldType::Decimal},  {"NUMERIC", FieldType::Decimal},
        {"DATETIME", FieldType::DateTime},  {"DATE", FieldType::DateTime},    {"TIME", FieldType::DateTime},
        {"TIMESTAMP", FieldType::DateTime}, {"VARBINARY", FieldType::Binary}, {"BINARY", FieldType::Binary},
        {"LONGBINARY", FieldType::Binary},  {"BLOB", FieldType::Binary},      {"IMAGE", FieldType::Binary},
        {"OLEOBJECT", FieldType::Binary},   {"GUID", FieldType::Guid},
    };
    const std::string base = upperBaseType(declaredType);
    for (const Name &n : kNames)
        if (base == n.name)
            return n.type;
    return FieldType::Unknown;
}

// ---- Connection ----

Connection::Connection(Mode mode) : m_mode(mode) {}

Connection::~Connection()
{
    close();
    for (Query *q : m_queries)
        q->m_connection = nullptr;
}

void Connection::setConnectionText(std::string text)
{
    m_connectionText = std::move(text);
}

void Connection::open(ProgressSink *progress)
{
    close();
    const std::string source = dataSourceOf(m_connectionText);
    m_db = m_mode == Mode::Archive ? openArchiveDatabase(source, progress, &m_databasePath)
                                   : openPackageDatabase(source, progress, &m_databasePath);
}

void Connection::close()
{
    // A statement belongs to its database handle: prepared queries prepare again on the next open.
    for (Query *q : m_queries) {
        q->close();
        q->m_stmt.reset();
    }
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_databasePath.clear();
}

void Connection::finishReading()
{
    for (Query *q : m_queries)
        if (q->isOpen() && !q->m_streaming)
            q->fetchMore(std::numeric_limits<long long>::max());
}

bool Connection::readOnly() const
{
    return m_db && sqlite3_db_readonly(m_db, "main") == 1;
}

void Connection::adopt(sqlite::DatabasePtr db, std::string databasePath)
{
    close();
    m_db = db.release();
    m_databasePath = std::move(databasePath);
}

Connection::FileAccess Connection::fileAccess() const
{
    sqlite3 *db = handle();
    const char *file = sqlite3_db_filename(db, "main");
    return {file ? file : "", sqlite3_db_readonly(db, "main") == 1, file && sqlite3_uri_boolean(file, "immutable", 0)};
}

void Connection::openFile(const FileAccess &file)
{
    close();
    int flags = file.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    std::string name = file.path;
    if (file.immutable) {
        // A file: address keeps every character of the path but those that would end or escape it.
        name =
            "file:" +
            percentEncoded(file.path,
                           [](unsigned char c) { return c >= 0x21 && c < 0x7f && c != '%' && c != '?' && c != '#'; }) +
            "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    sqlite::DatabasePtr db = sqlite::open(name, flags);
    sqlite3_busy_timeout(db.get(), 5000);
    m_db = db.release();
    m_databasePath = file.path;
}

sqlite3 *Connection::handle() const
{
    if (!m_db)
        raiseUtf8("資料庫連線尚未開啟");
    return m_db;
}

void Connection::raiseLastError() const
{
    raiseUtf8(m_db ? sqlite3_errmsg(m_db) : "資料庫連線尚未開啟");
}

StatementPtr Connection::prepare(const std::string &sqlCp950) const
{
    sqlite3 *db = handle();
    const std::string sql = fromCp950(sqlCp950);
    sqlite3_stmt *raw = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, &tail) != SQLITE_OK)
        raiseLastError();
    StatementPtr stmt(raw);
    if (!stmt)
        raiseUtf8("SQL 指令是空的");
    // Only blanks and semicolons may follow the statement: a second statement is never run.
    for (const char *p = tail; p && p < sql.data() + sql.size(); ++p)
        if (!std::isspace(static_cast<unsigned char>(*p)) && *p != ';')
            raiseUtf8("一次只能執行一個 SQL 敘述");
    return stmt;
}

void Connection::attach(Query *query)
{
    m_queries.push_back(query);
}

void Connection::detach(Query *query)
{
    std::erase(m_queries, query);
}

// ---- Query ----

Query::Query(Connection *connection)
{
    setConnection(connection);
}

Query::~Query()
{
    close();
    m_stmt.reset();
    if (m_connection)
        m_connection->detach(this);
}

void Query::setConnection(Connection *connection)
{
    if (connection == m_connection)
        return;
    close();
    unprepare();
    if (m_connection)
        m_connection->detach(this);
    m_connection = connection;
    if (m_connection)
        m_connection->attach(this);
}

void Query::setSql(std::string sqlCp950)
{
    close();
    unprepare();
    m_sql = std::move(sqlCp950);
}

void Query::setParam(std::string_view name, Value value)
{
    for (auto &p : m_params)
        if (sameName(p.first, name)) {
            p.second = std::move(value);
            return;
        }
    m_params.emplace_back(std::string(name), std::move(value));
}

void Query::bindParams(sqlite3_stmt *stmt) const
{
    sqlite3_clear_bindings(stmt);
    for (const auto &[name, value] : m_params) {
        // The statement was prepared from UTF-8 text, so its parameter names are UTF-8 too.
        const int index = sqlite3_bind_parameter_index(stmt, (":" + fromCp950(name)).c_str());
        if (index > 0)
            bindValue(stmt, index, value);
    }
}

void Query::prepare()
{
    if (!m_connection)
        raiseUtf8("無Connetion 元件");
    if (!m_stmt)
        m_stmt = m_connection->prepare(m_sql);
    m_prepared = true;
}

void Query::unprepare()
{
    m_prepared = false;
    if (!m_open)
        m_stmt.reset();
}

void Query::finishStatement()
{
    m_done = true;
    if (!m_stmt)
        return;
    if (m_prepared)
        sqlite3_reset(m_stmt.get());
    else
        m_stmt.reset();
}

void Query::open()
{
    close();
    if (!m_connection)
        raiseUtf8("無Connetion 元件");
    if (m_stmt)
        sqlite3_reset(m_stmt.get());
    else
        m_stmt = m_connection->prepare(m_sql);
    bindParams(m_stmt.get());
    sqlite3_stmt *stmt = m_stmt.get();
    const int columns = sqlite3_column_count(stmt);
    m_names.clear();
    m_types.clear();
    m_wanted.clear();
    for (int i = 0; i < columns; ++i) {
        m_names.push_back(toCp950(sqlite3_column_name(stmt, i)));
        const char *declared = sqlite3_column_decltype(stmt, i);
        m_types.push_back(fieldTypeOf(declared ? declared : ""));
        bool wanted = m_wantedNames.empty();
        for (const std::string &name : m_wantedNames)
            wanted = wanted || sameName(name, m_names.back());
        m_wanted.push_back(wanted);
    }
    m_done = false;
    m_open = true;
    try {
        if (m_readAll)
            while (readRow()) {
            }
        else
            ensureRow(0);
    } catch (...) {
        close();
        throw;
    }
    m_pos = 0;
    m_bof = true;
    m_eof = m_rows.empty();
    if (!m_rows.empty())
        scrolled();
}

void Query::openWithRows(std::vector<std::string> namesCp950, std::vector<FieldType> types)
{
    close();
    m_stmt.reset();
    m_prepared = false;
    m_names = std::move(namesCp950);
    m_types = std::move(types);
    m_wanted.assign(m_names.size(), true);
    m_done = false;
    m_open = true;
}

void Query::addRows(std::vector<std::vector<Value>> rows)
{
    requireOpen("加入資料列");
    const bool first = fetchedRows() == 0;
    for (std::vector<Value> &row : rows)
        m_rows.push_back(std::move(row));
    if (first && !m_rows.empty()) {
        m_pos = 0;
        m_bof = true;
        m_eof = false;
        scrolled();
    }
}

void Query::close()
{
    if (!m_open)
        return;
    m_open = false;
    finishStatement();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_base = 0;
    m_keptFrom = kKeepNone;
    m_pos = 0;
    m_bof = true;
    m_eof = true;
}

void Query::execSQL()
{
    close();
    if (!m_connection)
        raiseUtf8("無Connetion 元件");
    StatementPtr own;
    sqlite3_stmt *stmt = m_stmt.get();
    if (!stmt) {
        own = m_connection->prepare(m_sql);
        stmt = own.get();
    }
    sqlite3_reset(stmt);
    bindParams(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE)
        m_connection->raiseLastError();
}

bool Query::readRow()
{
    if (m_done || !m_stmt)
        return false;
    sqlite3_stmt *stmt = m_stmt.get();
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        std::vector<Value> row;
        row.reserve(m_types.size());
        for (int i = 0; i < static_cast<int>(m_types.size()); ++i)
            row.push_back(m_wanted[static_cast<size_t>(i)] ? readColumn(stmt, i, m_types[static_cast<size_t>(i)])
                                                           : Value());
        m_rows.push_back(std::move(row));
        return true;
    }
    if (rc == SQLITE_DONE) {
        finishStatement();
        return false;
    }
    sqlite3 *db = sqlite3_db_handle(stmt);
    std::string message = sqlite3_errmsg(db);
    if (rc == SQLITE_TOOBIG)
        message = "資料中有一個值超過 " + std::to_string(sqlite3_limit(db, SQLITE_LIMIT_LENGTH, -1) / (1024 * 1024)) +
                  " MB 的上限，無法讀取";
    finishStatement();
    raiseUtf8(message);
}

} // namespace velm
