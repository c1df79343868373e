#include "base/percent.h"

#include <gtest/gtest.h>

using namespace velm;

TEST(Percent, UnreservedBytesStayAndEveryOtherByteIsEscapedInUpperCase)
{
    EXPECT_EQ(percentEncoded(""), "");
    EXPECT_EQ(percentEncoded("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(percentEncoded("a b/c?d#e%f+g"), "a%20b%2Fc%3Fd%23e%25f%2Bg");
    // Big5 bytes (中 is A4 A4) and the ends of the byte range, with a NUL inside the text.
    EXPECT_EQ(percentEncoded("\xA4\xA4.vlp"), "%A4%A4.vlp");
    EXPECT_EQ(percentEncoded(std::string("\x00\x7F\xFF\x1F", 4)), "%00%7F%FF%1F");
}

TEST(Percent, EveryByteComesBackFromItsEscape)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += static_cast<char>(byte);
    const std::string encoded = percentEncoded(all, [](unsigned char) { return false; });
    ASSERT_EQ(encoded.size(), 3u * 256u);
    for (int byte = 0; byte < 256; ++byte) {
        const std::string escape = encoded.substr(3 * static_cast<size_t>(byte), 3);
        EXPECT_EQ(escape.front(), '%');
        EXPECT_EQ(std::stoi(escape.substr(1), nullptr, 16), byte) << escape;
        EXPECT_EQ(escape.find_first_of("abcdef"), std::string::npos) << escape;
    }
}

TEST(Percent, TheKeptSetIsTheCallers)
{
    const KeptByte visibleButPercent = [](unsigned char c) { return c > 0x20 && c < 0x7F && c != '%'; };
    EXPECT_EQ(percentEncoded("/a b/100%/\xE4\xB8\xAD", visibleButPercent), "/a%20b/100%25/%E4%B8%AD");
    EXPECT_EQ(percentEncoded("keep all", [](unsigned char) { return true; }), "keep all");
}

TEST(Percent, HexBytesAndSingleEscapesAppend)
{
    std::string out = "X'";
    for (unsigned char byte : {0x00, 0x0A, 0xA4, 0xFF})
        appendHexByte(out, byte);
    EXPECT_EQ(out, "X'000AA4FF");
    out.clear();
    appendPercentEscape(out, '[');
    appendPercentEscape(out, 0xE4);
    EXPECT_EQ(out, "%5B%E4");
}
