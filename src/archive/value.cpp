#include "archive/value.h"

#include "base/cp950.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace velm {
namespace {

std::string formatDouble(double d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
}

const std::string kNoText;
const std::vector<Value> kNoItems;

} // namespace

Value Value::null()
{
    return Value(Kind::Null, std::monostate{});
}
Value Value::boolean(bool b)
{
    return Value(Kind::Boolean, b);
}
Value Value::integer(std::int64_t i)
{
    return Value(Kind::Integer, i);
}
Value Value::real(double d)
{
    return Value(Kind::Float, d);
}
Value Value::dateTime(std::string iso)
{
    return Value(Kind::DateTime, std::move(iso));
}
Value Value::text(std::string cp950)
{
    return Value(Kind::Text, std::move(cp950));
}
Value Value::wide(std::string utf8)
{
    return Value(Kind::WideText, std::move(utf8));
}
Value Value::bytes(std::string raw)
{
    return Value(Kind::Bytes, std::move(raw));
}
Value Value::array(std::vector<Value> items)
{
    return Value(Kind::Array, std::move(items));
}

const std::string &Value::raw() const
{
    if (const auto *s = std::get_if<std::string>(&m_data))
        return *s;
    return kNoText;
}

const std::vector<Value> &Value::items() const
{
    if (const auto *v = std::get_if<std::vector<Value>>(&m_data))
        return *v;
    return kNoItems;
}

std::string Value::toText() const
{
    switch (m_kind) {
    case Kind::WideText:
        return toCp950(raw());
    case Kind::Text:
    case Kind::Bytes:
        return raw();
    default:
        return toUtf8();
    }
}

std::string Value::toUtf8() const
{
    switch (m_kind) {
    case Kind::Empty:
    case Kind::Null:
        return {};
    case Kind::Boolean:
        return std::get<bool>(m_data) ? "True" : "False";
    case Kind::Integer:
        return std::to_string(std::get<std::int64_t>(m_data));
    case Kind::Float:
        return formatDouble(std::get<double>(m_data));
    case Kind::DateTime: {
        // Shown in the short date and time form: 2003/01/15 09:30:12.
        std::string s = raw();
        if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
            s[4] = '/';
            s[7] = '/';
        }
        return s;
    }
    case Kind::Text:
        return fromCp950(raw());
    case Kind::WideText:
    case Kind::Bytes:
        return raw();
    case Kind::Array: {
        std::string out;
        for (const Value &item : items()) {
            if (!out.empty())
                out += ',';
            out += item.toUtf8();
        }
        return out;
    }
    }
    return {};
}

std::int64_t Value::toInt() const
{
    switch (m_kind) {
    case Kind::Boolean:
        return std::get<bool>(m_data) ? 1 : 0;
    case Kind::Integer:
        return std::get<std::int64_t>(m_data);
    case Kind::Float:
        return static_cast<std::int64_t>(std::get<double>(m_data));
    case Kind::Text:
    case Kind::WideText: {
        const std::string &s = raw();
        std::size_t start = s.find_first_not_of(' ');
        if (start == std::string::npos)
            return 0;
        std::int64_t out = 0;
        std::from_chars(s.data() + start, s.data() + s.size(), out);
        return out;
    }
    default:
        return 0;
    }
}

double Value::toDouble() const
{
    switch (m_kind) {
    case Kind::Float:
        return std::get<double>(m_data);
    case Kind::Text:
    case Kind::WideText:
        return std::strtod(raw().c_str(), nullptr);
    default:
        return static_cast<double>(toInt());
    }
}

bool Value::toBool() const
{
    if (m_kind == Kind::Boolean)
        return std::get<bool>(m_data);
    return toInt() != 0;
}

} // namespace velm
