// Conversions of GBBIG: the documented edge cases, the fast path against the binary search, streams.
#include "codeconv/gbbig.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using namespace velm;

namespace {

// The whole-string scan over the binary searches, as the reference for the fast path.
std::string referenceConvert(std::string_view in, unsigned (*lookup)(unsigned))
{
    std::string out;
    int pending = -1;
    for (unsigned char b : in) {
        if (pending >= 0) {
            const unsigned v = lookup(static_cast<unsigned>(pending) * 256 + b);
            out += static_cast<char>(v / 256);
            out += static_cast<char>(v % 256);
            pending = -1;
        } else if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            pending = b;
        }
    }
    return out;
}

} // namespace

// Defined first so that it runs before any test has readied the tables.
TEST(GBBig, ConvertsBeforeInitCodeTables)
{
    EXPECT_EQ(GBToBig5("\xB7\xA2"), "\xB5\x6F");
    EXPECT_EQ(Big5CodeToGB(0xB0EA), 0xB9FAu);
    InitCodeTables();
    InitCodeTables(); // idempotent
    EXPECT_EQ(GBCodeToBig5(0xB7A2), 0xB56Fu);
}

TEST(GBBig, DocumentedEdgeCases)
{
    struct Case {
        const char *what;
        std::string (*convert)(std::string_view);
        std::string in;
        std::string out;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"empty GB", GBToBig5, "", ""},
        {"empty Big5", Big5ToGB, "", ""},
        {"ASCII GB", GBToBig5, "select * from FORUM_TOPICS;\r\n", "select * from FORUM_TOPICS;\r\n"},
        {"ASCII Big5", Big5ToGB, "a\tb\x01\x7F", "a\tb\x01\x7F"},
        {"发 -> 發, not 髮", GBToBig5, "\xB7\xA2", "\xB5\x6F"},
        {"台 -> 台, not 臺", GBToBig5, "\xCC\xA8", "\xA5\x78"},
        {"后 -> 後", GBToBig5, "\xBA\xF3", "\xAB\xE1"},
        {"并 -> 並", GBToBig5, "\xB2\xA2", "\xA8\xC3"},
        {"盘 -> 槃", GBToBig5, "\xC5\xCC", "\xBA\x6E"},
        {"full-width space", GBToBig5, "\xA1\xA1", "\xA1\x40"},
        {"國 -> 国", Big5ToGB, "\xB0\xEA", "\xB9\xFA"},
        {"一", Big5ToGB, "\xA4\x40", "\xD2\xBB"},
        {"full-width space back", Big5ToGB, "\xA1\x40", "\xA1\xA1"},
        {"F9D6 -> ??", Big5ToGB, "\xF9\xD6", "??"},
        {"unmapped GB", GBToBig5, "\x81\x40", "\x81\x40"},
        {"unmapped Big5", Big5ToGB, "\xC6\xA1", "\xC6\xA1"},
        {"B7 41: A is a trail byte", GBToBig5, "\xB7\x41", "\xB7\x41"},
        {"dangling lead dropped", GBToBig5, "abc\xB7", "abc"},
        {"lead alone", GBToBig5, "\xB7", ""},
        {"lead alone Big5", Big5ToGB, "\xB0", ""},
        {"lead before a line break", GBToBig5, "\xB7\x0D\x0A", "\xB7\x0D\x0A"},
        {"mixed", GBToBig5, "Delphi\xD6\xD0\xB9\xFA 7\n", "Delphi\xA4\xA4\xB0\xEA 7\n"},
        {"NUL bytes kept", GBToBig5, "a\0b"s, "a\0b"s},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.convert(c.in), c.out) << c.what;
}

TEST(GBBig, SingleCodes)
{
    EXPECT_EQ(GBCodeToBig5(0xB7A2), 0xB56Fu);
    EXPECT_EQ(GBCodeToBig5(0x3F3F), 0xF9D6u);
    EXPECT_EQ(GBCodeToBig5(0x8140), 0x8140u);
    EXPECT_EQ(GBCodeToBig5(0x41), 0x41u);
    EXPECT_EQ(GBCodeToBig5(0x1B7A2), 0x1B7A2u); // beyond two bytes: unchanged, never an index overrun
    EXPECT_EQ(Big5CodeToGB(0xA440), 0xD2BBu);
    EXPECT_EQ(Big5CodeToGB(0xC6A1), 0xC6A1u);
    for (unsigned code = 0xF9D6; code <= 0xF9DC; ++code)
        EXPECT_EQ(Big5CodeToGB(code), 0x3F3Fu) << std::hex << code;
    EXPECT_EQ(Big5CodeToGB(0xF9DD), 0xF9DDu);
    EXPECT_EQ(Big5CodeToGB(0x10000), 0x10000u);
}

TEST(GBBig, RoundTripNeedNotReturnTheInput)
{
    // GB 台 -> Big5 台 -> GB 台, but Big5 臺 -> GB 台 -> Big5 台.
    EXPECT_EQ(Big5ToGB(GBToBig5("\xCC\xA8")), "\xCC\xA8");
    EXPECT_EQ(Big5ToGB("\xBB\x4F"), "\xCC\xA8");
    EXPECT_EQ(GBToBig5(Big5ToGB("\xBB\x4F")), "\xA5\x78");
}

TEST(GBBig, FastLookupMatchesTheBinarySearchForEveryCode)
{
    for (unsigned code = 0; code < 0x10000; ++code) {
        ASSERT_EQ(GBCodeToBig5(code), searchGBToBig5(code)) << std::hex << code;
        ASSERT_EQ(Big5CodeToGB(code), searchBig5ToGB(code)) << std::hex << code;
    }
}

TEST(GBBig, StringsMatchThePartsScanOnRandomBytes)
{
    std::mt19937 random(4141);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string text(static_cast<std::size_t>(round % 97), '\0');
        for (char &c : text)
            c = static_cast<char>(byte(random));
        ASSERT_EQ(GBToBig5(text), referenceConvert(text, searchGBToBig5));
        ASSERT_EQ(Big5ToGB(text), referenceConvert(text, searchBig5ToGB));
    }
}

TEST(GBBig, LengthIsKeptLessADanglingLead)
{
    EXPECT_EQ(GBToBig5("\xD6\xD0\xB9\xFA").size(), 4u);
    EXPECT_EQ(GBToBig5("\xD6\xD0\xB9").size(), 2u);
    EXPECT_EQ(Big5ToGB("x\xA4\xA4y").size(), 4u);
}

TEST(GBBig, StreamsCarryALeadAcrossBlocksAndDropOneAtTheEnd)
{
    // Leads at every offset around the 64 KiB block boundary, then a dangling lead.
    std::string text;
    for (int i = 0; i < 3; ++i) {
        text.append(65535 - i, 'a');
        text += "\xB7\xA2\xCC\xA8";
    }
    text += "\xB7";
    for (CodeDirection direction : {CodeDirection::GBToBig5, CodeDirection::Big5ToGB}) {
        std::istringstream in(text);
        std::ostringstream out;
        ASSERT_TRUE(convertStream(in, out, direction));
        EXPECT_EQ(out.str(), direction == CodeDirection::GBToBig5 ? GBToBig5(text) : Big5ToGB(text));
    }
    std::istringstream empty;
    std::ostringstream out;
    EXPECT_TRUE(convertStream(empty, out, CodeDirection::GBToBig5));
    EXPECT_EQ(out.str(), "");
}
