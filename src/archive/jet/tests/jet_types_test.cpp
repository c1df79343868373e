// Every field type in Jet 4 and Jet 3 files built here, against mdb-export where it prints faithfully, and exactly.
#include "archive/jet/jet_reader.h"
#include "archive/jet/tests/jet_builder.h"
#include "archive/jet/tests/test_support.h"
#include "base/cp950.h"

#include <gtest/gtest.h>

#include <limits>

using namespace velm;
using namespace velm::jet;
using namespace velm::jet::testing;

namespace {

constexpr double kWhen = 38000.0 + (9 * 3600 + 30 * 60 + 15) / 86400.0; // 2004-01-14 09:30:15

std::string repeated(const std::string &text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string pattern(std::size_t size)
{
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return out;
}

std::string guidBytes()
{
    std::string out;
    for (int i = 0; i < 16; ++i)
        out += static_cast<char>(i);
    return out;
}

// The same columns in both versions; Jet 3 names them in Chinese, as a Big5 client may.
std::vector<BuiltColumn> allTypes(bool jet3)
{
    const auto name = [jet3](const char *latin, const char *chinese) { return std::string(jet3 ? chinese : latin); };
    return {{name("FLAG", "旗標"), FieldType::Boolean},
            {name("SMALL", "位元組"), FieldType::Byte},
            {name("SHORT", "整數"), FieldType::Integer},
            {name("LONG", "長整數"), FieldType::LongInteger},
            {name("MONEY", "貨幣"), FieldType::Currency},
            {name("SINGLE", "單精度"), FieldType::Single},
            {name("DOUBLE", "倍精度"), FieldType::Double},
            {name("WHEN", "日期"), FieldType::DateTime},
            {name("RAW", "二進位"), FieldType::Binary, 8},
            {name("NAME", "名稱"), FieldType::Text, 20},
            {name("PICTURE", "圖片"), FieldType::Ole},
            {name("BODY", "內文"), FieldType::Memo},
            {name("ROWGUID", "識別碼"), FieldType::ReplicationId},
            {name("AMOUNT", "金額"), FieldType::Decimal, 0, 18, 4}};
}

// Column positions in allTypes.
enum Field { Flag, Small, Short, Long, Money, Single, Double, When, Raw, Name, Picture, Body, RowGuid, Amount };

const std::string kLongMemo = repeated("長文", 1500);

std::vector<std::vector<StoredField>> allTypeRows(bool jet3)
{
    return {
        {"\1", littleEndian(200, 1), littleEndian(std::uint16_t(-1234), 2), littleEndian(std::uint32_t(-123456789), 4),
         littleEndian(12345678, 8), singleBytes(3.14159f), doubleBytes(2.718281828459045), doubleBytes(kWhen),
         std::string("\x01\xFE\xFF\x7F"), storedText(jet3, "中文 text"), pattern(jet3 ? 3000 : 5000),
         storedText(jet3, "短的備忘"), guidBytes(), decimalBytes(false, 12345678)},
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
         std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"\0", littleEndian(0, 1), littleEndian(32767, 2), littleEndian(0x80000000u, 4), littleEndian(~0ull, 8),
         singleBytes(-0.1f), doubleBytes(1e300), doubleBytes(36585.75), std::string(), storedText(jet3, ""),
         std::string(), storedText(jet3, kLongMemo), guidBytes(), decimalBytes(true, 5)},
    };
}

class BuiltFile : public ::testing::TestWithParam<std::tuple<bool, Route>> {
protected:
    bool jet3() const { return std::get<0>(GetParam()); }

    std::vector<TableData> read(const std::vector<BuiltTable> &tables)
    {
        m_mdb = m_folder.file(jet3() ? "jet3.mdb" : "jet4.mdb");
        writeBytes(m_mdb, buildJetFile(jet3(), tables));
        return readThrough(std::get<1>(GetParam()), m_folder, m_mdb);
    }

    ScratchFolder m_folder;
    std::string m_mdb;
};

} // namespace

TEST_P(BuiltFile, EveryFieldTypeAsLibmdbReadsIt)
{
    const std::string tableName = jet3() ? "全部型別" : "ALL_TYPES";
    const std::vector<TableData> tables = read({{tableName, allTypes(jet3()), allTypeRows(jet3())}});
    ASSERT_EQ(tables.size(), 1u);
    const TableData &table = tables[0];
    EXPECT_EQ(table.name, tableName);
    EXPECT_EQ(table.declarations, (std::vector<std::string>{"BOOLEAN", "BYTE", "SMALLINT", "INTEGER", "CURRENCY",
                                                            "REAL", "DOUBLE", "DATETIME", "VARBINARY(8)", "VARCHAR(20)",
                                                            "LONGBINARY", "LONGTEXT", "GUID", "DECIMAL(18,4)"}));
    expectSameAsLibmdb(m_mdb, tables);
}

TEST_P(BuiltFile, EveryFieldTypeExactly)
{
    const std::vector<TableData> tables = read({{"T", allTypes(jet3()), allTypeRows(jet3())}});
    ASSERT_EQ(tables.size(), 1u);
    ASSERT_EQ(tables[0].rows.size(), 3u);
    const std::vector<Cell> &full = tables[0].rows[0];
    const std::vector<Cell> &nulls = tables[0].rows[1];
    const std::vector<Cell> &edges = tables[0].rows[2];

    struct Expectation {
        const Cell *cell;
        int type;
        std::int64_t integer;
        double real;
        std::string text;
    };
    const Expectation expectations[] = {
        {&full[Flag], SQLITE_INTEGER, 1, 0, ""},
        {&full[Small], SQLITE_INTEGER, 200, 0, ""},
        {&full[Short], SQLITE_INTEGER, -1234, 0, ""},
        {&full[Long], SQLITE_INTEGER, -123456789, 0, ""},
        {&full[Money], SQLITE_FLOAT, 0, 1234.5678, ""},
        {&full[Single], SQLITE_FLOAT, 0, double(3.14159f), ""},
        {&full[Double], SQLITE_FLOAT, 0, 2.718281828459045, ""},
        {&full[When], SQLITE_TEXT, 0, 0, "2004-01-14 09:30:15"},
        {&full[Raw], SQLITE_BLOB, 0, 0, "\x01\xFE\xFF\x7F"},
        {&full[Name], SQLITE_TEXT, 0, 0, "中文 text"},
        {&full[Picture], SQLITE_BLOB, 0, 0, pattern(jet3() ? 3000 : 5000)},
        {&full[Body], SQLITE_TEXT, 0, 0, "短的備忘"},
        {&full[RowGuid], SQLITE_TEXT, 0, 0, "{03020100-0504-0706-0809-0A0B0C0D0E0F}"},
        {&full[Amount], SQLITE_FLOAT, 0, 1234.5678, ""},
        // A null yes/no field is no; every other null stays NULL.
        {&nulls[Flag], SQLITE_INTEGER, 0, 0, ""},
        {&nulls[Small], SQLITE_NULL, 0, 0, ""},
        {&nulls[When], SQLITE_NULL, 0, 0, ""},
        {&nulls[Raw], SQLITE_NULL, 0, 0, ""},
        {&nulls[Name], SQLITE_NULL, 0, 0, ""},
        {&nulls[Picture], SQLITE_NULL, 0, 0, ""},
        {&nulls[Body], SQLITE_NULL, 0, 0, ""},
        {&nulls[Amount], SQLITE_NULL, 0, 0, ""},
        // Empty values are not nulls.
        {&edges[Flag], SQLITE_INTEGER, 0, 0, ""},
        {&edges[Small], SQLITE_INTEGER, 0, 0, ""},
        {&edges[Short], SQLITE_INTEGER, 32767, 0, ""},
        {&edges[Long], SQLITE_INTEGER, std::numeric_limits<std::int32_t>::min(), 0, ""},
        {&edges[Money], SQLITE_FLOAT, 0, -0.0001, ""},
        {&edges[Single], SQLITE_FLOAT, 0, double(-0.1f), ""},
        {&edges[Double], SQLITE_FLOAT, 0, 1e300, ""},
        {&edges[When], SQLITE_TEXT, 0, 0, "2000-02-29 18:00:00"},
        {&edges[Raw], SQLITE_BLOB, 0, 0, ""},
        {&edges[Name], SQLITE_TEXT, 0, 0, ""},
        {&edges[Picture], SQLITE_BLOB, 0, 0, ""},
        {&edges[Body], SQLITE_TEXT, 0, 0, kLongMemo},
        {&edges[Amount], SQLITE_FLOAT, 0, -0.0005, ""},
    };
    for (const Expectation &e : expectations) {
        SCOPED_TRACE("field " + std::to_string(&e - expectations));
        ASSERT_EQ(e.cell->type, e.type);
        if (e.type == SQLITE_INTEGER) {
            EXPECT_EQ(e.cell->integer, e.integer);
        } else if (e.type == SQLITE_FLOAT) {
            EXPECT_EQ(e.cell->real, e.real); // exactly: no digits lost on the way
        } else if (e.type != SQLITE_NULL) {
            EXPECT_EQ(e.cell->text, e.text);
        }
    }
}

TEST_P(BuiltFile, TextBeyondWhatLibmdbPrints)
{
    // mdb-export gets these wrong or cuts them (early dates, 23:59:59.6, zero bytes); then the rarer kinds of text.
    const std::string gbk = "\xC8\xE7\xBA\xCE\xD3\xC3"
                            "Delphi"
                            "\xC1\xAC\xBD\xD3";
    const std::string zeros("\x00\x01\x00", 3);
    const std::vector<BuiltColumn> columns = {{"WHEN", FieldType::DateTime},
                                              {"TEXT", FieldType::Text, 40},
                                              {"MEMO", FieldType::Memo},
                                              {"BYTES", FieldType::Binary, 8}};
    std::vector<std::vector<StoredField>> rows = {
        {doubleBytes(-1.25), jet3() ? gbk : storedText(false, fromCp950(gbk)), jet3() ? gbk : storedText(false, "😀"),
         zeros},
        {doubleBytes(1.0 - 0.4 / 86400), jet3() ? std::string("plain") : compressedText("caf\xE9"),
         jet3() ? std::string(repeated(gbk, 200)) : storedText(false, repeated(fromCp950(gbk), 200)), std::nullopt},
    };
    const std::vector<TableData> tables = read({{"EDGES", columns, rows}});
    const std::vector<std::vector<Cell>> &read = tables.at(0).rows;
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0][0].text, "1899-12-29 06:00:00");
    EXPECT_EQ(read[1][0].text, "1899-12-31 00:00:00");
    EXPECT_EQ(toCp950(read[0][1].text), gbk);
    EXPECT_EQ(read[0][1].text, fromCp950(gbk));
    EXPECT_EQ(read[0][2].text, jet3() ? fromCp950(gbk) : "😀");
    EXPECT_EQ(read[1][1].text, jet3() ? "plain" : "caf\xC3\xA9");
    EXPECT_EQ(toCp950(read[1][2].text), repeated(gbk, 200));
    EXPECT_EQ(read[0][3].type, SQLITE_BLOB);
    EXPECT_EQ(read[0][3].text, zeros);
}

TEST_P(BuiltFile, ManyRowsOverSeveralPages)
{
    const std::vector<BuiltColumn> columns = {{"ID", FieldType::LongInteger}, {"NOTE", FieldType::Text, 30}};
    std::vector<std::vector<StoredField>> rows;
    for (int i = 0; i < 700; ++i)
        rows.push_back({littleEndian(std::uint32_t(i), 4), storedText(jet3(), "第 " + std::to_string(i) + " 筆")});
    const std::vector<TableData> tables = read({{"A", columns, {}}, {"B", columns, rows}, {"C", columns, rows}});
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_TRUE(tables[0].rows.empty());
    for (const TableData *table : {&tables[1], &tables[2]}) {
        ASSERT_EQ(table->rows.size(), 700u);
        for (int i = 0; i < 700; ++i) {
            EXPECT_EQ(table->rows[std::size_t(i)][0].integer, i);
            EXPECT_EQ(table->rows[std::size_t(i)][1].text, "第 " + std::to_string(i) + " 筆");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, BuiltFile,
                         ::testing::Combine(::testing::Values(false, true),
                                            ::testing::Values(Route::ConvertFile, Route::OpenCopy)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param) ? "jet3_" : "jet4_") +
                                    routeName(std::get<1>(info.param));
                         });
