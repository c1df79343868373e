#pragma once
// Tagged field values, as they pass between the database layer and its callers.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace velm {

class Value {
public:
    enum class Kind { Empty, Null, Boolean, Integer, Float, DateTime, Text, WideText, Bytes, Array };

    Value() = default; // empty: no value at all
    static Value null();
    static Value boolean(bool b);
    static Value integer(std::int64_t i);
    static Value real(double d);
    static Value dateTime(std::string iso); // "YYYY-MM-DD HH:MM:SS"
    static Value text(std::string cp950);   // 8-bit text in code page 950
    static Value wide(std::string utf8);    // wide text, kept as UTF-8
    static Value bytes(std::string raw);
    static Value array(std::vector<Value> items);

    Kind kind() const { return m_kind; }
    bool isEmpty() const { return m_kind == Kind::Empty; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isTextual() const { return m_kind == Kind::Text || m_kind == Kind::WideText; }

    // Text in code page 950; empty and null give empty text.
    std::string toText() const;
    // Text in UTF-8; empty and null give empty text.
    std::string toUtf8() const;
    // Numbers; text that is no number gives 0.
    std::int64_t toInt() const;
    double toDouble() const;
    bool toBool() const;

    const std::vector<Value> &items() const;
    // The raw text of a text, wide text, date-time or bytes value.
    const std::string &raw() const;

    bool operator==(const Value &other) const = default;

private:
    template <typename T> Value(Kind kind, T data) : m_kind(kind), m_data(std::move(data)) {}

    Kind m_kind = Kind::Empty;
    std::variant<std::monostate, bool, std::int64_t, double, std::string, std::vector<Value>> m_data;
};

} // namespace velm
