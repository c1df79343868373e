#include "base/cp950.h"
#include "base/error.h"
#include "base/qtext.h"

#include <gtest/gtest.h>

#include <type_traits>

using namespace velm;

TEST(Cp950, ConvertsBothWaysWithKnownBytes)
{
    // 中 is A4 A4 in Big5, 文 is A4 E5.
    EXPECT_EQ(toCp950("中文"), "\xA4\xA4\xA4\xE5");
    EXPECT_EQ(fromCp950("\xA4\xA4\xA4\xE5"), "中文");
    EXPECT_EQ(toCp950("plain ascii"), "plain ascii");
    EXPECT_EQ(toCp950(""), "");
    // Long texts are not cut anywhere on the way.
    std::string longText;
    for (int i = 0; i < 60000; ++i)
        longText += "字";
    EXPECT_EQ(fromCp950(toCp950(longText)), longText);
    EXPECT_EQ(toCp950(longText).size(), 120000u);
}

TEST(Cp950, UserDefinedAreaRoundTripsByteForByte)
{
    // GB bytes stored through a Big5 client land in the user-defined areas; they must come back.
    const std::string gbk = "\xC8\xE7\xBA\xCE\xD3\xC3\x44\x65\x6C\x70\x68\x69\xC1\xAC\xBD\xD3";
    EXPECT_EQ(toCp950(fromCp950(gbk)), gbk);
    std::string everyLead;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail : {0x40, 0x7E, 0xA1, 0xFE}) {
            if (lead == 0xA3 && trail == 0xFE) // unassigned in code page 950 itself
                continue;
            everyLead += static_cast<char>(lead);
            everyLead += static_cast<char>(trail);
        }
    EXPECT_EQ(toCp950(fromCp950(everyLead)), everyLead);
}

TEST(Cp950, GbkDecodes)
{
    EXPECT_EQ(fromGbk("\xD6\xD0\xCE\xC4 ok"), "中文 ok");
}

TEST(Cp950, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(toCp950("a😀b"), "a?b");
}

TEST(Cp950, LiteralMacroAndQtBoundary)
{
    EXPECT_EQ(B5("資料載入中"), toCp950("資料載入中"));
    const std::string *first = nullptr;
    for (int i = 0; i < 2; ++i) { // one use site converts once and hands out the same text
        const std::string &s = B5("補充包");
        if (!first)
            first = &s;
        EXPECT_EQ(first, &s);
    }
    EXPECT_EQ(qFromCp950(Big5Text("\xA4\xA4")), QString::fromUtf8("中"));
    EXPECT_EQ(qToCp950(QString::fromUtf8("中")).bytes(), "\xA4\xA4");
}

TEST(Cp950, ErrorCarriesBig5AndGivesUtf8)
{
    try {
        raiseUtf8("無Connetion 元件");
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(std::string(e.what()), toCp950("無Connetion 元件"));
        EXPECT_EQ(e.utf8(), "無Connetion 元件");
    }
}

TEST(Cp950, Big5TextConvertsOnlyOnPurpose)
{
    const Big5Text text = Big5Text::fromUtf8("中文 ok");
    EXPECT_EQ(text.bytes(), "\xA4\xA4\xA4\xE5 ok");
    EXPECT_EQ(text.toUtf8(), "中文 ok");
    EXPECT_EQ(Big5Text("\xA4\xA4"), Big5Text::fromUtf8("中"));
    EXPECT_TRUE(Big5Text().empty());
    // Neither way is implicit, so UTF-8 is never taken for its bytes nor its bytes for UTF-8.
    static_assert(!std::is_convertible_v<std::string, Big5Text>);
    static_assert(!std::is_convertible_v<Big5Text, std::string>);
}
