// Typed Unicode text as the Big5 and GB bytes the archive and the web sites take.
#include "codeconv/typed_text.h"

#include "base/cp950.h"
#include "codeconv/gbbig.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velm;

TEST(TypedText, Big5FormOfSimplifiedTraditionalAndMixedText)
{
    const std::string traditional = toCp950("資料庫");
    ASSERT_EQ(traditional.size(), 6u);
    // Plain code page 950 loses the characters only GBK has.
    EXPECT_EQ(toCp950("资料库"), "?" + toCp950("料") + "?");

    EXPECT_EQ(TypedToBig5("资料库"), traditional);
    EXPECT_EQ(TypedToBig5("資料庫"), traditional);
    EXPECT_EQ(TypedToBig5("SQL 资料库 連線"), "SQL " + traditional + " " + toCp950("連線"));
    EXPECT_EQ(qTypedToBig5(QStringLiteral("资料库")), traditional);
    EXPECT_EQ(qTypedToBig5(QString()), "");
    // Punctuation and symbols code page 950 has keep their bytes, whatever the pair table says of them.
    EXPECT_EQ(TypedToBig5("「中文」，€"), toCp950("「中文」，€"));
    EXPECT_EQ(TypedToBig5("a?b"), "a?b");
}

TEST(TypedText, CharactersNeitherCodePageHasBecomeQuestionMarks)
{
    EXPECT_EQ(TypedToBig5("a😀b"), "a?b");
    EXPECT_EQ(TypedToGB("a😀b"), "a?b");
    // Hangul: neither Big5 nor GBK.
    EXPECT_EQ(TypedToBig5("한"), "?");
    // U+0800, the first character whose lead byte is 0xE0: still one character.
    EXPECT_EQ(TypedToBig5("a\xE0\xA0\x80"
                          "b"),
              "a?b");
    // 酶 is GBK only, and the pair table has no Big5 for it.
    const std::string gbOnly = utf8ToGbk("酶");
    ASSERT_EQ(gbOnly.size(), 2u);
    ASSERT_EQ(toCp950("酶"), "?");
    ASSERT_FALSE(std::ranges::binary_search(
        GBToBig5Table(), static_cast<unsigned char>(gbOnly[0]) * 256 + static_cast<unsigned char>(gbOnly[1]), {},
        &GBBig5Pair::gb));
    EXPECT_EQ(TypedToBig5("a酶b"), "a?b");
    // Broken UTF-8 from a command line: each broken sequence is one '?', nothing is read past the end.
    EXPECT_EQ(TypedToBig5("x\xFF"
                          "y"),
              "x?y");
    EXPECT_EQ(TypedToBig5("x\xE4"), "x?");
    EXPECT_EQ(TypedToGB("x\xE4\xB8"), "x?");
}

TEST(TypedText, GBFormOfTraditionalAndSimplifiedText)
{
    const std::string gb = utf8ToGbk("资料库");
    ASSERT_EQ(gb.size(), 6u);
    EXPECT_EQ(TypedToGB("資料庫"), gb);
    EXPECT_EQ(TypedToGB("资料库"), gb);
    EXPECT_EQ(TypedToGB("资料庫 x"), gb + " x");
    EXPECT_EQ(TypedToGB("程式設計"), Big5ToGB(toCp950("程式設計")));
}

TEST(TypedText, EveryBig5OnlyTableCharacterFollowsThePairTable)
{
    // Characters Big5 lacks but the table converts: their Big5 form is the table's; back again gives GB.
    int converted = 0;
    for (const GBBig5Pair &pair : GBToBig5Table()) {
        const std::string gbBytes{static_cast<char>(pair.gb >> 8), static_cast<char>(pair.gb & 0xFF)};
        const std::string utf8 = fromGbk(gbBytes);
        if (toCp950(utf8) != "?")
            continue;
        ASSERT_EQ(TypedToBig5(utf8), GBToBig5(gbBytes)) << std::hex << pair.gb;
        ASSERT_EQ(TypedToGB(utf8), gbBytes) << std::hex << pair.gb;
        ++converted;
    }
    EXPECT_GT(converted, 1000);
}

TEST(TypedText, EveryBig5CharacterKeepsItsBytesAndTakesThePairTableToGB)
{
    const auto table = Big5ToGBTable();
    int characters = 0;
    for (unsigned code = 0xA140; code <= 0xF9FE; ++code) {
        const unsigned trail = code & 0xFF;
        if (trail < 0x40 || (trail > 0x7E && trail < 0xA1) || trail == 0xFF)
            continue;
        const std::string big5{static_cast<char>(code >> 8), static_cast<char>(trail)};
        const std::string utf8 = fromCp950(big5);
        if (toCp950(utf8) != big5)
            continue; // no character, or one that code page 950 writes another way
        ASSERT_EQ(TypedToBig5(utf8), big5) << std::hex << code;
        const bool paired = std::ranges::binary_search(table, static_cast<std::int32_t>(code), {}, &GBBig5Pair::big5);
        const std::string gbk = utf8ToGbk(utf8);
        const std::string expectedGB = paired ? Big5ToGB(big5) : gbk.size() == 2 ? gbk : "?";
        ASSERT_EQ(TypedToGB(utf8), expectedGB) << std::hex << code;
        ++characters;
    }
    EXPECT_GT(characters, 13000);
}
