// Field definitions and stored bytes into SQLite declarations and values.
#include "archive/jet/jet_copy.h"
#include "archive/jet/jet_values.h"
#include "archive/jet/mdb_handle.h"
#include "base/cp950.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

using namespace velm;
using namespace velm::jet;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

std::string jet4Text(const std::string &stored)
{
    std::string out;
    appendJet4Text(out, reinterpret_cast<const unsigned char *>(stored.data()), stored.size());
    return out;
}

// A handle as mdb_open leaves it for a file of the given version, enough for libmdb's text conversion.
struct FakeHandle {
    explicit FakeHandle(int version)
    {
        file->jet_version = guint32(version);
        handle->f = file.get();
        handle->iconv_in = handle->iconv_out = (iconv_t)-1;
    }
    ~FakeHandle() { mdb_iconv_close(handle.get()); }
    FakeHandle(const FakeHandle &) = delete;
    FakeHandle &operator=(const FakeHandle &) = delete;

    std::string convert(const std::string &stored)
    {
        std::string out(1024, '\0');
        const int length = mdb_unicode2ascii(handle.get(), stored.data(), stored.size(), out.data(), out.size());
        out.resize(std::size_t(length));
        return out;
    }

    std::unique_ptr<MdbFile> file = std::make_unique<MdbFile>();
    std::unique_ptr<MdbHandle> handle = std::make_unique<MdbHandle>();
};

} // namespace

TEST(JetValues, ColumnDeclarationsKeepJetTypeNames)
{
    struct Case {
        FieldType type;
        int size, precision, scale;
        bool jet3;
        const char *declaration;
    };
    const Case cases[] = {
        {FieldType::Boolean, 1, 0, 0, false, "BOOLEAN"},
        {FieldType::Byte, 1, 0, 0, false, "BYTE"},
        {FieldType::Integer, 2, 0, 0, false, "SMALLINT"},
        {FieldType::LongInteger, 4, 0, 0, false, "INTEGER"},
        {FieldType::Currency, 8, 0, 0, false, "CURRENCY"},
        {FieldType::Single, 4, 0, 0, false, "REAL"},
        {FieldType::Double, 8, 0, 0, false, "DOUBLE"},
        {FieldType::DateTime, 8, 0, 0, false, "DATETIME"},
        {FieldType::Binary, 16, 0, 0, false, "VARBINARY(16)"},
        {FieldType::Text, 100, 0, 0, false, "VARCHAR(50)"}, // Jet 4 counts two bytes a character
        {FieldType::Text, 2, 0, 0, false, "VARCHAR(1)"},
        {FieldType::Text, 50, 0, 0, true, "VARCHAR(50)"},
        {FieldType::Ole, 0, 0, 0, false, "LONGBINARY"},
        {FieldType::Memo, 0, 0, 0, false, "LONGTEXT"},
        {FieldType::ReplicationId, 16, 0, 0, false, "GUID"},
        {FieldType::Decimal, 17, 18, 4, false, "DECIMAL(18,4)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(columnDeclaration(c.type, c.size, c.precision, c.scale, c.jet3), c.declaration);
    EXPECT_TRUE(isKnownFieldType(0x10));
    for (int unknown : {0x00, 0x0d, 0x0e, 0x11, 0x12, 0xff})
        EXPECT_FALSE(isKnownFieldType(unknown)) << unknown;
}

TEST(JetValues, TablesAreCreatedWithQuotedNamesAndCaseBlindText)
{
    const std::vector<Column> columns = {{"ID", FieldType::LongInteger, "INTEGER"},
                                         {"say \"hi\"", FieldType::Text, "VARCHAR(50)"},
                                         {"主題", FieldType::Memo, "LONGTEXT"}};
    EXPECT_EQ(
        createTableSql("FORUM \"X\"", columns),
        "CREATE TABLE \"FORUM \"\"X\"\"\" (\"ID\" INTEGER, \"say \"\"hi\"\"\" VARCHAR(50) COLLATE NOCASE, \"主題\" "
        "LONGTEXT COLLATE NOCASE)");
}

TEST(JetValues, Jet4TextPlainAndCompressed)
{
    struct Case {
        const char *what;
        std::string stored;
        std::string utf8;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"UTF-16LE", bytes({'A', 0, 'b', 0, 0x2D, 0x4E}), "Ab中"},
        {"private use area (GB bytes read as Big5)", bytes({0x00, 0xE0, 0x41, 0x00}),
         "\xEE\x80\x80"
         "A"},
        {"surrogate pair", bytes({0x3D, 0xD8, 0x00, 0xDE}), "😀"},
        {"lone high surrogate", bytes({0x3D, 0xD8, 'x', 0}),
         "\xEF\xBF\xBD"
         "x"},
        {"lone low surrogate", bytes({0x00, 0xDE}), "\xEF\xBF\xBD"},
        {"odd trailing byte", bytes({'o', 0, 'k', 0, 0x41}), "ok"},
        {"compressed marker only", bytes({0xFF, 0xFE}), ""},
        {"compressed", bytes({0xFF, 0xFE, 'H', 'i', 0xE9}), "Hi\xC3\xA9"},
        {"compressed, then wide, then compressed", bytes({0xFF, 0xFE, 'A', 0, 0x2D, 0x4E, 0x87, 0x65, 0, 'B'}),
         "A中文B"},
        {"compressed ending inside a wide character", bytes({0xFF, 0xFE, 'A', 0, 0x2D}), "A"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(jet4Text(c.stored), c.utf8) << c.what;
}

TEST(JetValues, Jet3TextIsCodePage950)
{
    const std::string gbBytes = "\xC8\xE7\xBA\xCE\xD3\xC3"
                                "Delphi";
    for (const std::string &stored : {std::string("\xA4\xA4\xA4\xE5 ok"), gbBytes}) {
        std::string utf8;
        appendJet3Text(utf8, reinterpret_cast<const unsigned char *>(stored.data()), stored.size());
        EXPECT_EQ(utf8, fromCp950(stored));
        EXPECT_EQ(toCp950(utf8), stored);
    }
}

TEST(JetValues, LibmdbTextConversionIgnoresTheEnvironment)
{
    // Whatever charsets the environment asks libmdb for, names come out as this reader decodes them.
    ::setenv("MDB_JET3_CHARSET", "CP1252", 1);
    ::setenv("MDBICONV", "ISO-8859-1", 1);
    const std::string big5AndGb = "\xA4\xA4\xA4\xE5\xC8\xE7\xBA\xCE"
                                  "ab";
    {
        FakeHandle jet3(MDB_VER_JET3);
        prepareTextConversion(jet3.handle.get());
        EXPECT_EQ(jet3.convert(big5AndGb), big5AndGb);
    }
    {
        FakeHandle jet4(MDB_VER_JET4);
        prepareTextConversion(jet4.handle.get());
        EXPECT_EQ(jet4.convert(bytes({0x2D, 0x4E, 0x00, 0xE0, 0x3D, 0xD8, 0x00, 0xDE})), "中\xEE\x80\x80😀");
    }
    ::unsetenv("MDB_JET3_CHARSET");
    ::unsetenv("MDBICONV");
}

TEST(JetValues, DatesInJetsCalendar)
{
    struct Case {
        double days;
        const char *text;
    };
    const Case cases[] = {
        {0.0, "1899-12-30 00:00:00"},
        {1.0, "1899-12-31 00:00:00"},
        {2.5, "1900-01-01 12:00:00"},
        {60.0, "1900-02-28 00:00:00"},
        {61.0, "1900-03-01 00:00:00"}, // no 29 February 1900
        {36585.0, "2000-02-29 00:00:00"},
        {38000.0 + (9 * 3600 + 30 * 60 + 15) / 86400.0, "2004-01-14 09:30:15"},
        {0.99999999, "1899-12-31 00:00:00"}, // rounds up into the next day, never to 24:00:00
        {-1.25, "1899-12-29 06:00:00"},      // before day 0 the time still runs forward
        {-0.5, "1899-12-30 12:00:00"},
        {-657434.0, "0100-01-01 00:00:00"},
        {2958465.0 + 86399 / 86400.0, "9999-12-31 23:59:59"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatJetDate(c.days).value_or("(none)"), c.text) << c.days;
    for (double noDate :
         {2958466.0, -657435.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(formatJetDate(noDate)) << noDate;
}

TEST(JetValues, GuidAndCurrency)
{
    const unsigned char stored[16] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                      0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0xFF};
    EXPECT_EQ(formatGuid(stored), "{03020100-0504-0706-0809-0A0B0C0D0EFF}");
    EXPECT_DOUBLE_EQ(currencyValue(12345678), 1234.5678);
    EXPECT_DOUBLE_EQ(currencyValue(-1), -0.0001);
}
