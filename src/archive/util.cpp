#include "archive/util.h"

#include "base/error.h"
#include "base/hooks.h"
#include "base/paths.h"

namespace velm {
namespace {

// One per thread: each thread that serves pages reads through a connection of its own.
thread_local Connection *g_defaultConnection = nullptr;

Connection *bind(Connection *connection)
{
    if (connection)
        return connection;
    if (g_defaultConnection)
        return g_defaultConnection;
    raiseUtf8("無Connetion 元件");
}

// Runs an SQL step; on failure the statement's text goes to the clipboard before the error goes on.
template <typename Step> auto withSqlOnClipboard(const std::string &sql, Step step)
{
    try {
        return step();
    } catch (const Error &) {
        hooks::copyToClipboard(sql);
        throw;
    }
}

} // namespace

void SetDefaultConnection(Connection *connection)
{
    g_defaultConnection = connection;
}

Connection *DefaultConnection()
{
    return g_defaultConnection;
}

bool ReopenQuery(Query &query, const std::string &sql, Connection *connection)
{
    hooks::BusyCursor busy;
    query.close();
    query.setSql({});
    if (connection)
        query.setConnection(connection);
    else if (!query.connection())
        query.setConnection(bind(nullptr));
    query.setSql(sql);
    return withSqlOnClipboard(sql, [&] {
        query.open();
        return !query.isEmpty();
    });
}

std::unique_ptr<Query> OpenQuery(const std::string &sql, Connection *connection)
{
    auto query = std::make_unique<Query>(bind(connection));
    query->setReadAll(true);
    query->setSql(sql);
    withSqlOnClipboard(sql, [&] { query->open(); });
    return query;
}

void ExecuteSQL(const std::string &sql, Connection *connection)
{
    Query query(bind(connection));
    query.setSql(sql);
    withSqlOnClipboard(sql, [&] { query.execSQL(); });
}

bool ExecuteQuietly(const std::string &sql, Connection &connection)
{
    try {
        Query query(&connection);
        query.setSql(sql);
        query.execSQL();
        return true;
    } catch (const Error &) {
        return false;
    }
}

bool SQLLookup(const std::string &sql, Value &value, bool raw, Connection *connection)
{
    auto query = OpenQuery(sql, connection);
    value = Value();
    if (query->isEmpty())
        return false;
    auto columnValue = [&](int i) { return raw ? query->field(i).value() : FieldValueDef(query->field(i)); };
    if (query->fieldCount() == 1) {
        value = columnValue(0);
    } else {
        std::vector<Value> items;
        for (int i = 0; i < query->fieldCount(); ++i)
            items.push_back(columnValue(i));
        value = Value::array(std::move(items));
    }
    return !value.isEmpty();
}

Value SQLValue(const std::string &sql)
{
    Value value;
    SQLLookup(sql, value, false, nullptr);
    return value;
}

std::string SQLLiteral(const Value &value)
{
    switch (value.kind()) {
    case Value::Kind::Null:
        return "''";
    case Value::Kind::Text:
    case Value::Kind::DateTime:
        return "'" + value.toText() + "'";
    default:
        return value.toText();
    }
}

Value FieldValueDef(const Field &field)
{
    if (!field.isNull())
        return field.value();
    switch (field.type()) {
    case FieldType::Text:
    case FieldType::Memo:
        return Value::wide({});
    case FieldType::SmallInt:
    case FieldType::Integer:
        return Value::integer(0);
    case FieldType::Boolean:
        return Value::boolean(false);
    case FieldType::Float:
    case FieldType::Decimal:
    case FieldType::DateTime:
        return Value::real(0);
    default:
        return Value::null();
    }
}

std::string CutToken(std::string_view delimiters, std::string &text)
{
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    std::string_view rest(text);
    rest.remove_prefix(start);

    const size_t at = rest.find_first_of(delimiters);
    std::string token;
    std::string remainder;
    if (at == std::string_view::npos) {
        token = std::string(rest);
    } else {
        token = std::string(rest.substr(0, at));
        size_t after = at;
        while (after < rest.size() && rest[after] == rest[at])
            ++after;
        remainder = std::string(rest.substr(after));
    }
    while (!token.empty() && isBlank(token.back()))
        token.pop_back();
    size_t lead = 0;
    while (lead < token.size() && isBlank(token[lead]))
        ++lead;
    token.erase(0, lead);
    text = std::move(remainder);
    return token;
}

std::string QuoteDoubled(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

std::string LikePatternLiteral(std::string_view cp950)
{
    const auto isLead = [](unsigned char c) { return c >= 0x81 && c <= 0xFE; };
    const auto isTrail = [](unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFE); };
    std::string out;
    out.reserve(cp950.size() + 8);
    for (size_t i = 0; i < cp950.size(); ++i) {
        const auto c = static_cast<unsigned char>(cp950[i]);
        if (isLead(c) && i + 1 < cp950.size() && isTrail(static_cast<unsigned char>(cp950[i + 1]))) {
            out += cp950.substr(i, 2);
            ++i;
            continue;
        }
        if (isLead(c)) {
            // Half a character (cut off by a byte limit, or damaged) stands for the one character it began.
            out += '_';
            continue;
        }
        if (c == '%' || c == '_' || c == '\\')
            out += '\\';
        out += static_cast<char>(c);
    }
    return out;
}

} // namespace velm
