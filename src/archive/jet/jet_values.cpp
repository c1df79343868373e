#include "archive/jet/jet_values.h"

#include "base/cp950.h"

#include <cmath>
#include <cstdio>

namespace velm::jet {
namespace {

// The calendar range Jet accepts: 100-01-01 to 9999-12-31.
constexpr long long kFirstJetDay = -657434;
constexpr long long kLastJetDay = 2958465;
constexpr long long kSecondsPerDay = 86400;
// Day 0 of Jet (1899-12-30) counted from 1970-01-01.
constexpr long long kJetEpochFromUnix = -25569;
constexpr char32_t kReplacement = 0xFFFD;

void appendCodePoint(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Joins surrogate pairs; a surrogate without its partner becomes U+FFFD.
class Utf16Appender {
public:
    explicit Utf16Appender(std::string &out) : m_out(out) {}
    ~Utf16Appender() { flush(); }
    Utf16Appender(const Utf16Appender &) = delete;
    Utf16Appender &operator=(const Utf16Appender &) = delete;

    void add(char16_t unit)
    {
        if (unit >= 0xDC00 && unit <= 0xDFFF && m_high) {
            appendCodePoint(m_out, 0x10000 + ((char32_t(m_high) - 0xD800) << 10) + (unit - 0xDC00));
            m_high = 0;
            return;
        }
        flush();
        if (unit >= 0xD800 && unit <= 0xDBFF)
            m_high = unit;
        else if (unit >= 0xDC00 && unit <= 0xDFFF)
            appendCodePoint(m_out, kReplacement);
        else
            appendCodePoint(m_out, unit);
    }

private:
    void flush()
    {
        if (m_high) {
            appendCodePoint(m_out, kReplacement);
            m_high = 0;
        }
    }

    std::string &m_out;
    char16_t m_high = 0;
};

} // namespace

bool isKnownFieldType(int typeCode)
{
    switch (static_cast<FieldType>(typeCode)) {
    case FieldType::Boolean:
    case FieldType::Byte:
    case FieldType::Integer:
    case FieldType::LongInteger:
    case FieldType::Currency:
    case FieldType::Single:
    case FieldType::Double:
    case FieldType::DateTime:
    case FieldType::Binary:
    case FieldType::Text:
    case FieldType::Ole:
    case FieldType::Memo:
    case FieldType::ReplicationId:
    case FieldType::Decimal:
        return true;
    }
    return false;
}

std::string columnDeclaration(FieldType type, int size, int precision, int scale, bool jet3)
{
    switch (type) {
    case FieldType::Boolean:
        return "BOOLEAN";
    case FieldType::Byte:
        return "BYTE";
    case FieldType::Integer:
        return "SMALLINT";
    case FieldType::LongInteger:
        return "INTEGER";
    case FieldType::Currency:
        return "CURRENCY";
    case FieldType::Single:
        return "REAL";
    case FieldType::Double:
        return "DOUBLE";
    case FieldType::DateTime:
        return "DATETIME";
    case FieldType::Binary:
        return "VARBINARY(" + std::to_string(size) + ")";
    case FieldType::Text:
        return "VARCHAR(" + std::to_string(jet3 ? size : size / 2) + ")";
    case FieldType::Ole:
        return "LONGBINARY";
    case FieldType::Memo:
        return "LONGTEXT";
    case FieldType::ReplicationId:
        return "GUID";
    case FieldType::Decimal:
        return "DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    }
    return {};
}

void appendJet4Text(std::string &out, const unsigned char *data, std::size_t size)
{
    Utf16Appender text(out);
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        // Compressed: one byte per character whose high byte is zero; a zero byte switches modes.
        bool compressed = true;
        std::size_t i = 2;
        while (i < size) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.add(data[i]);
                ++i;
            } else if (i + 1 < size) {
                text.add(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
        return;
    }
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.add(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
}

void appendJet3Text(std::string &out, const unsigned char *data, std::size_t size)
{
    out += fromCp950(std::string_view(reinterpret_cast<const char *>(data), size));
}

std::optional<std::string> formatJetDate(double days)
{
    if (!std::isfinite(days))
        return std::nullopt;
    const double whole = std::trunc(days);
    if (whole < double(kFirstJetDay) || whole > double(kLastJetDay))
        return std::nullopt;
    // Before day 0 the whole part still counts days and the fraction still runs forward in the day.
    long long day = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(days - whole) * double(kSecondsPerDay));
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }

    // Civil date from a day count (proleptic Gregorian), after H. Hinnant's days_from_civil inverse.
    long long z = day + kJetEpochFromUnix + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long dayOfMonth = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", int(year), int(month), int(dayOfMonth),
                  int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
    return std::string(text);
}

std::string formatGuid(const unsigned char *b)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

double currencyValue(std::int64_t tenThousandths)
{
    return double(tenThousandths) / 10000.0;
}

} // namespace velm::jet
