#include "archive/jet/tests/jet_builder.h"

#include "archive/jet/tests/test_support.h"
#include "base/cp950.h"

#include <bit>
#include <map>
#include <stdexcept>

namespace velm::jet::testing {
namespace {

// Where each version keeps things; the column entry fields are offsets within one column definition.
struct Format {
    bool jet3;
    std::size_t pageSize;
    std::size_t rowCountOffset;
    std::size_t columnsStart;
    std::size_t columnEntrySize;
    std::size_t columnNumber, variableNumber, rowColumnNumber, precision, scale, flags, fixedOffset, size;
};
constexpr Format kJet4{false, 4096, 12, 63, 25, 5, 7, 9, 11, 12, 15, 21, 23};
constexpr Format kJet3{true, 2048, 8, 43, 18, 1, 3, 5, 9, 10, 13, 14, 16};

constexpr std::size_t kCatalogPage = 2;
constexpr std::size_t kMapPage = 3;
constexpr std::size_t kFirstTablePage = 4;
constexpr std::uint32_t kSystemObject = 0x80000002;
constexpr std::uint8_t kFixedColumn = 0x01;
constexpr std::uint8_t kNullableColumn = 0x02;

void put(std::string &bytes, std::size_t offset, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + std::size_t(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

int fixedSize(FieldType type)
{
    switch (type) {
    case FieldType::Boolean:
        return 0;
    case FieldType::Byte:
        return 1;
    case FieldType::Integer:
        return 2;
    case FieldType::LongInteger:
    case FieldType::Single:
        return 4;
    case FieldType::Currency:
    case FieldType::Double:
    case FieldType::DateTime:
        return 8;
    case FieldType::ReplicationId:
        return 16;
    case FieldType::Decimal:
        return 17;
    case FieldType::Binary:
    case FieldType::Text:
    case FieldType::Ole:
    case FieldType::Memo:
        break;
    }
    return -1;
}

bool isLongValue(FieldType type)
{
    return type == FieldType::Memo || type == FieldType::Ole;
}

std::uint32_t pageRow(std::size_t page, std::size_t row)
{
    return std::uint32_t(page << 8 | row);
}

// A data or long-value page: rows laid from the end of the page backwards, their offsets after the header.
class RowPage {
public:
    RowPage(const Format &format, std::string owner) : m_format(&format), m_owner(std::move(owner)) {}

    bool fits(std::size_t rowSize) const
    {
        return m_format->rowCountOffset + 2 * (m_rows.size() + 2) + m_used + rowSize <= m_format->pageSize;
    }
    std::size_t add(std::string row)
    {
        if (!fits(row.size()))
            throw std::runtime_error("row does not fit a page");
        m_used += row.size();
        m_rows.push_back(std::move(row));
        return m_rows.size() - 1;
    }
    bool empty() const { return m_rows.empty(); }

    std::string bytes() const
    {
        std::string page(m_format->pageSize, '\0');
        page[0] = 0x01;
        page[1] = 0x01;
        page.replace(4, 4, m_owner);
        const std::size_t header = m_format->rowCountOffset + 2 + 2 * m_rows.size();
        put(page, 2, m_format->pageSize - header - m_used, 2);
        put(page, m_format->rowCountOffset, m_rows.size(), 2);
        std::size_t end = m_format->pageSize;
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            const std::size_t start = end - m_rows[i].size();
            page.replace(start, m_rows[i].size(), m_rows[i]);
            put(page, m_format->rowCountOffset + 2 + 2 * i, start, 2);
            end = start;
        }
        return page;
    }

private:
    const Format *m_format;
    std::string m_owner;
    std::vector<std::string> m_rows;
    std::size_t m_used = 0;
};

class Builder {
public:
    explicit Builder(const Format &format) : m_format(format) {}

    std::string build(const std::vector<BuiltTable> &userTables)
    {
        std::vector<BuiltTable> tables{catalog(userTables)};
        tables.insert(tables.end(), userTables.begin(), userTables.end());
        m_nextPage = kFirstTablePage + userTables.size();

        // Rows first: their long values take pages that the data pages follow.
        std::vector<std::vector<std::string>> rows;
        for (const BuiltTable &table : tables) {
            rows.emplace_back();
            for (const auto &row : table.rows)
                rows.back().push_back(encodeRow(table, row));
        }
        std::vector<std::vector<std::size_t>> dataPages(tables.size());
        for (std::size_t t = 0; t < tables.size(); ++t) {
            const std::string owner = littleEndian(tablePage(t), 4);
            RowPage page(m_format, owner);
            for (const std::string &row : rows[t]) {
                if (!page.fits(row.size())) {
                    dataPages[t].push_back(place(page.bytes()));
                    page = RowPage(m_format, owner);
                }
                page.add(row);
            }
            if (!page.empty())
                dataPages[t].push_back(place(page.bytes()));
        }

        RowPage maps(m_format, littleEndian(0, 4));
        for (std::size_t t = 0; t < tables.size(); ++t) {
            std::string usage = std::string(1, '\0') + littleEndian(0, 4) + std::string((m_nextPage + 7) / 8, '\0');
            for (std::size_t page : dataPages[t])
                usage[5 + page / 8] = static_cast<char>(usage[5 + page / 8] | (1 << (page % 8)));
            maps.add(usage);
            maps.add(std::string(1, '\0') + littleEndian(0, 4) + std::string(1, '\0'));
        }
        m_pages[kMapPage] = maps.bytes();
        for (std::size_t t = 0; t < tables.size(); ++t)
            m_pages[tablePage(t)] =
                definition(tables[t], t == 0, pageRow(kMapPage, 2 * t), pageRow(kMapPage, 2 * t + 1));

        std::string header = readBytes(fixturePath("archive-small.mdb")).substr(0, m_format.pageSize);
        header[0x14] = m_format.jet3 ? 0 : 1;
        m_pages[0] = header;
        std::string file;
        for (std::size_t page = 0; page < m_nextPage; ++page) {
            const auto found = m_pages.find(page);
            file += found == m_pages.end() ? std::string(m_format.pageSize, '\0') : found->second;
        }
        return file;
    }

private:
    std::size_t tablePage(std::size_t t) const { return t == 0 ? kCatalogPage : kFirstTablePage + t - 1; }

    std::size_t place(std::string page)
    {
        m_pages[m_nextPage] = std::move(page);
        return m_nextPage++;
    }

    BuiltTable catalog(const std::vector<BuiltTable> &tables) const
    {
        BuiltTable catalog{"MSysObjects",
                           {{"Id", FieldType::LongInteger},
                            {"ParentId", FieldType::LongInteger},
                            {"Name", FieldType::Text, 128},
                            {"Type", FieldType::Integer},
                            {"Flags", FieldType::LongInteger},
                            {"LvProp", FieldType::Ole}},
                           {}};
        const auto row = [&](std::size_t page, const std::string &name, std::uint32_t flags) {
            return std::vector<StoredField>{littleEndian(page, 4),           littleEndian(0, 4),
                                            storedText(m_format.jet3, name), littleEndian(1, 2),
                                            littleEndian(flags, 4),          std::nullopt};
        };
        catalog.rows.push_back(row(kCatalogPage, "MSysObjects", kSystemObject));
        for (std::size_t t = 0; t < tables.size(); ++t)
            catalog.rows.push_back(row(kFirstTablePage + t, tables[t].name, 0));
        return catalog;
    }

    std::string longValue(const std::string &content)
    {
        const std::size_t inlineLimit = m_format.jet3 ? 24 : 64;
        const std::size_t piece = m_format.pageSize - 64;
        if (content.size() <= inlineLimit)
            return littleEndian(content.size() | 0x80000000u, 4) + littleEndian(0, 8) + content;
        if (content.size() <= piece) {
            RowPage page(m_format, "LVAL");
            page.add(content);
            return littleEndian(content.size() | 0x40000000u, 4) + littleEndian(pageRow(place(page.bytes()), 0), 4) +
                   littleEndian(0, 4);
        }
        // Several pages, each piece pointing to the next; laid out last piece first.
        std::uint32_t next = 0;
        for (std::size_t end = content.size(); end > 0;) {
            const std::size_t start = (end - 1) / piece * piece;
            RowPage page(m_format, "LVAL");
            page.add(littleEndian(next, 4) + content.substr(start, end - start));
            next = pageRow(place(page.bytes()), 0);
            end = start;
        }
        return littleEndian(content.size(), 4) + littleEndian(next, 4) + littleEndian(0, 4);
    }

    std::string encodeRow(const BuiltTable &table, const std::vector<StoredField> &row)
    {
        const std::size_t countSize = m_format.jet3 ? 1 : 2;
        std::string fixed, variable, nullMask((table.columns.size() + 7) / 8, '\0');
        std::vector<std::size_t> offsets;
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            const BuiltColumn &column = table.columns[i];
            const StoredField &field = row.at(i);
            const bool present = field && !(column.type == FieldType::Boolean && *field != "\1");
            if (present)
                nullMask[i / 8] = static_cast<char>(nullMask[i / 8] | (1 << (i % 8)));
            const int size = fixedSize(column.type);
            if (size >= 0) {
                if (field && size > 0 && field->size() != std::size_t(size))
                    throw std::runtime_error("wrong size for " + column.name);
                fixed += field && size > 0 ? *field : std::string(std::size_t(size), '\0');
            } else {
                offsets.push_back(countSize + variable.size());
                if (field)
                    variable += isLongValue(column.type) ? longValue(*field) : *field;
            }
        }
        for (std::size_t &offset : offsets)
            offset += fixed.size();
        std::string encoded = littleEndian(table.columns.size(), int(countSize)) + fixed + variable;
        if (!offsets.empty()) {
            const std::size_t end = encoded.size();
            encoded += littleEndian(end, int(countSize));
            for (std::size_t i = offsets.size(); i-- > 0;)
                encoded += littleEndian(offsets[i], int(countSize));
            encoded += littleEndian(offsets.size(), int(countSize));
        }
        encoded += nullMask;
        if (m_format.jet3 && encoded.size() > 255)
            throw std::runtime_error("Jet 3 rows here stay below 256 bytes");
        return encoded;
    }

    std::string definition(const BuiltTable &table, bool system, std::uint32_t usageMap, std::uint32_t freeMap) const
    {
        std::size_t variableCount = 0;
        for (const BuiltColumn &column : table.columns)
            variableCount += fixedSize(column.type) < 0;
        const std::size_t count = table.columns.size();
        const std::size_t counts = m_format.jet3 ? 21 : 41; // max columns, variable columns, columns
        std::string page(m_format.pageSize, '\0');
        page[0] = 0x02;
        page[1] = 0x01;
        if (m_format.jet3)
            page.replace(2, 2, "VC");
        put(page, m_format.jet3 ? 12 : 16, table.rows.size(), 4);
        page[counts - 1] = system ? 0x53 : 0x4E;
        put(page, counts, count, 2);
        put(page, counts + 2, variableCount, 2);
        put(page, counts + 4, count, 2);
        put(page, counts + 14, usageMap, 4);
        put(page, counts + 18, freeMap, 4);

        std::size_t position = m_format.columnsStart;
        std::size_t fixedOffset = 0, variableNumber = 0;
        for (std::size_t i = 0; i < count; ++i, position += m_format.columnEntrySize) {
            const BuiltColumn &column = table.columns[i];
            const int size = fixedSize(column.type);
            page[position] = static_cast<char>(column.type);
            put(page, position + m_format.columnNumber, i, 2);
            put(page, position + m_format.rowColumnNumber, i, 2);
            page[position + m_format.flags] = static_cast<char>(kNullableColumn | (size >= 0 ? kFixedColumn : 0));
            if (column.type == FieldType::Decimal) {
                page[position + m_format.precision] = static_cast<char>(column.precision);
                page[position + m_format.scale] = static_cast<char>(column.scale);
            }
            if (size >= 0) {
                put(page, position + m_format.fixedOffset, fixedOffset, 2);
                put(page, position + m_format.size, std::size_t(size), 2);
                fixedOffset += std::size_t(size);
            } else {
                put(page, position + m_format.variableNumber, variableNumber++, 2);
                const std::size_t bytes = column.type == FieldType::Text
                                              ? std::size_t(column.size) * (m_format.jet3 ? 1 : 2)
                                          : column.type == FieldType::Binary ? std::size_t(column.size)
                                                                             : 0;
                put(page, position + m_format.size, bytes, 2);
            }
        }
        for (const BuiltColumn &column : table.columns) {
            const std::string name = storedText(m_format.jet3, column.name);
            const std::string entry = littleEndian(name.size(), m_format.jet3 ? 1 : 2) + name;
            page.replace(position, entry.size(), entry);
            position += entry.size();
        }
        put(page, 8, position, 4);
        return page;
    }

    const Format &m_format;
    std::size_t m_nextPage = 0;
    std::map<std::size_t, std::string> m_pages;
};

void appendUtf16(std::string &out, char32_t c)
{
    if (c >= 0x10000) {
        c -= 0x10000;
        out += littleEndian(0xD800 + (c >> 10), 2);
        out += littleEndian(0xDC00 + (c & 0x3FF), 2);
    } else {
        out += littleEndian(c, 2);
    }
}

} // namespace

std::string buildJetFile(bool jet3, const std::vector<BuiltTable> &tables)
{
    return Builder(jet3 ? kJet3 : kJet4).build(tables);
}

std::string littleEndian(std::uint64_t value, int bytes)
{
    std::string out(std::size_t(bytes), '\0');
    put(out, 0, value, bytes);
    return out;
}

std::string singleBytes(float value)
{
    return littleEndian(std::bit_cast<std::uint32_t>(value), 4);
}

std::string doubleBytes(double value)
{
    return littleEndian(std::bit_cast<std::uint64_t>(value), 8);
}

std::string decimalBytes(bool negative, std::uint64_t magnitude)
{
    // Sixteen bytes of magnitude as four little-endian words, the most significant word first.
    std::string out(17, '\0');
    out[0] = negative ? '\x80' : '\0';
    for (int i = 0; i < 8; ++i)
        out[std::size_t(1 + 12 - 4 * (i / 4) + i % 4)] = static_cast<char>((magnitude >> (8 * i)) & 0xFF);
    return out;
}

std::string storedText(bool jet3, const std::string &utf8)
{
    if (jet3)
        return toCp950(utf8);
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + std::size_t(k)]) & 0x3F);
        appendUtf16(out, c);
        i += std::size_t(length);
    }
    return out;
}

std::string compressedText(const std::string &latin1)
{
    return "\xFF\xFE" + latin1;
}

} // namespace velm::jet::testing
