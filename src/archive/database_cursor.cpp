// The cursor of a query: moving through the rows of the result, reading them as they are needed,
// and the fields of the current row.
#include "archive/database.h"

#include "archive/database_internal.h"
#include "base/cp950.h"
#include "base/error.h"

#include <algorithm>
#include <cstddef>

namespace velm {
namespace {

using database_internal::sameName;

const Value kNullValue = Value::null();

} // namespace

// ---- Field ----

const std::string &Field::name() const
{
    return m_query.fieldName(m_column);
}

FieldType Field::type() const
{
    return m_query.fieldType(m_column);
}

Value Field::value() const
{
    return m_query.current(m_column);
}

std::string Field::asString() const
{
    return m_query.current(m_column).toText();
}

std::int64_t Field::asInteger() const
{
    return m_query.current(m_column).toInt();
}

bool Field::isNull() const
{
    const Value &v = m_query.current(m_column);
    return v.isNull() || v.isEmpty();
}

// ---- Query: the cursor ----

bool Query::ensureRow(long long row)
{
    if (row < 0)
        return false;
    while (fetchedRows() <= row)
        if (!readRow())
            return false;
    return true;
}

long long Query::fetchMore(long long n)
{
    long long got = 0;
    while (got < n && readRow())
        ++got;
    return got;
}

long long Query::rowCount()
{
    if (m_streaming)
        raiseUtf8("逐筆讀取的查詢無法計算筆數");
    while (readRow()) {
    }
    return fetchedRows();
}

void Query::requireOpen(const char *operation) const
{
    if (!m_open)
        raiseUtf8(std::string("查詢尚未開啟，無法") + operation);
}

bool Query::eof() const
{
    return !m_open || fetchedRows() == 0 || m_eof;
}

bool Query::isEmpty() const
{
    return !m_open || fetchedRows() == 0;
}

void Query::keepFrom(long long row)
{
    m_keptFrom = row;
    dropPassedRows();
}

void Query::dropPassedRows()
{
    const long long from = std::min(m_pos, m_keptFrom);
    if (!m_streaming || from <= m_base)
        return;
    m_rows.erase(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(from - m_base));
    m_base = from;
}

void Query::requireKept(long long row, const char *operation) const
{
    if (row < m_base)
        raiseUtf8(std::string("逐筆讀取的查詢無法") + operation);
}

const std::vector<Value> &Query::row(long long row) const
{
    return m_rows[static_cast<size_t>(row - m_base)];
}

void Query::scrolled()
{
    if (m_afterScroll)
        m_afterScroll();
}

void Query::first()
{
    requireOpen("移到首筆");
    requireKept(0, "移到首筆");
    m_pos = 0;
    m_bof = true;
    m_eof = m_rows.empty();
    if (!m_rows.empty())
        scrolled();
}

void Query::last()
{
    requireOpen("移到末筆");
    if (m_streaming)
        raiseUtf8("逐筆讀取的查詢無法移到末筆");
    rowCount();
    m_eof = true;
    m_bof = m_rows.empty();
    if (!m_rows.empty()) {
        m_pos = fetchedRows() - 1;
        scrolled();
    }
}

void Query::next()
{
    requireOpen("移到下一筆");
    if (ensureRow(m_pos + 1)) {
        ++m_pos;
        dropPassedRows();
        m_bof = false;
        m_eof = false;
        scrolled();
    } else {
        m_eof = true;
    }
}

void Query::prior()
{
    requireOpen("移到上一筆");
    if (m_pos > 0 && !m_rows.empty()) {
        requireKept(m_pos - 1, "移到上一筆");
        --m_pos;
        m_bof = false;
        m_eof = false;
        scrolled();
    } else {
        m_bof = true;
    }
}

void Query::moveTo(long long row)
{
    requireOpen("移動");
    requireKept(row, "回到讀過的資料列");
    if (!ensureRow(row))
        return;
    m_pos = row;
    dropPassedRows();
    m_bof = false;
    m_eof = false;
    scrolled();
}

void Query::gotoBookmark(Bookmark bookmark)
{
    moveTo(bookmark);
}

bool Query::locate(std::string_view column, const Value &value)
{
    requireOpen("搜尋");
    const int index = findField(column);
    if (index < 0)
        raiseUtf8("找不到欄位 " + std::string(column));
    // Compare as the kinds allow: numbers by number, everything else by text.
    const bool numeric = value.kind() == Value::Kind::Integer || value.kind() == Value::Kind::Float ||
                         value.kind() == Value::Kind::Boolean;
    requireKept(0, "搜尋");
    for (long long row = 0; ensureRow(row); ++row) {
        const Value &cell = this->row(row)[static_cast<size_t>(index)];
        if (cell.isNull() || value.isNull()) {
            if (cell.isNull() && value.isNull()) {
                moveTo(row);
                return true;
            }
            continue;
        }
        const bool match = numeric ? cell.toDouble() == value.toDouble() : cell.toUtf8() == value.toUtf8();
        if (match) {
            moveTo(row);
            return true;
        }
    }
    return false;
}

const std::string &Query::fieldName(int column) const
{
    return m_names.at(static_cast<size_t>(column));
}

FieldType Query::fieldType(int column) const
{
    return m_types.at(static_cast<size_t>(column));
}

int Query::findField(std::string_view name) const
{
    // Names are mostly asked for as the statement spells them: the exact match is the quick one.
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == name)
            return static_cast<int>(i);
    for (size_t i = 0; i < m_names.size(); ++i)
        if (sameName(m_names[i], name))
            return static_cast<int>(i);
    return -1;
}

Field Query::field(int column) const
{
    if (column < 0 || column >= fieldCount())
        raiseUtf8("欄位編號超出範圍: " + std::to_string(column));
    return Field(*this, column);
}

Field Query::fieldByName(std::string_view name) const
{
    const int index = findField(name);
    if (index < 0)
        raiseUtf8("找不到欄位 " + fromCp950(name));
    return Field(*this, index);
}

const Value &Query::valueAt(long long row, int column)
{
    requireKept(row, "回到讀過的資料列");
    if (!ensureRow(row) || column < 0 || column >= fieldCount())
        raiseUtf8("資料列或欄位超出範圍");
    return this->row(row)[static_cast<size_t>(column)];
}

const Value &Query::current(int column) const
{
    if (!m_open || m_rows.empty() || m_pos < m_base || m_pos >= fetchedRows())
        return kNullValue;
    return row(m_pos)[static_cast<size_t>(column)];
}

} // namespace velm
