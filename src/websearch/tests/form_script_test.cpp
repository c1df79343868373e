#include "websearch/form_script.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace velm;

namespace {

// Reads the literal back as JSON, whose string syntax is the subset the literal uses.
std::string readBack(const std::string &literal)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString("[" + literal + "]"), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << literal;
    return doc.array().at(0).toString().toStdString();
}

} // namespace

TEST(FormScript, LiteralsCarryAnyTextUnchangedAndStayInert)
{
    const std::string texts[] = {
        "",
        "abc",
        "it's \"quoted\"",
        "back\\slash\\",
        "</script><script>alert(1)</script>",
        "line\nbreak\r\ttab",
        "中文 ＡＢＣ",
        "\u2028\u2029",
        "😀 beyond the plane",
        "'); document.title = 'x'; ('",
    };
    for (const std::string &text : texts) {
        const std::string literal = JsStringLiteral(text);
        SCOPED_TRACE(literal);
        EXPECT_EQ(readBack(literal), text);
        for (char c : literal.substr(1, literal.size() - 2)) {
            EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
            EXPECT_EQ(std::string("\"'<>&").find(c), std::string::npos);
        }
    }
    // Malformed UTF-8 becomes the replacement character instead of passing through.
    EXPECT_EQ(readBack(JsStringLiteral("a\xFF\xC3")), "a\uFFFD\uFFFD");
    EXPECT_EQ(readBack(JsStringLiteral("\xE0\x80\x80")), "\uFFFD\uFFFD\uFFFD");
}
