#include "article/message_markup.h"

#include "base/cp950.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using namespace velm;

namespace {

constexpr const char *kBase = "http://velm.example/";

// UTF-8 in and out, Big5 in between, as the page holds it.
std::string convert(const std::string &utf8, int codeSystem = 0)
{
    return ConvertMessageMarkup(Big5Text::fromUtf8(utf8), codeSystem, kBase).toUtf8();
}

struct Case {
    const char *label;
    const char *input;
    const char *expected;
};

void expectAll(std::initializer_list<Case> cases)
{
    for (const Case &c : cases)
        EXPECT_EQ(convert(c.input), c.expected) << c.label;
}

TEST(MessageMarkup, LabelledAndAddressLinks)
{
    expectAll({
        {"labelled link", "[url=X]Y[/url]", "<a href=X>Y</a>"},
        {"labelled, no close", "a[url=X]Y", "a<a href=X></a>X]Y"},
        {"labelled, no close, no bracket", "[url=X", "<a href=></a>X"},
        {"labelled, bracket only in the close", "[url=X[/url]Y", "<a href=X[/url></a>Y"},
        {"several labelled links, from the first", "[url=a]A[/url] and [url=b]B[/url]",
         "<a href=a>A</a> and <a href=b>B</a>"},
        {"labelled link inside a label", "[url=a]x[url=b]y[/url]", "<a href=a>x<a href=b></a>b]y</a>"},
        {"address link", "[url]X[/url]", "<a href=X>X</a>"},
        {"address link, no close", "[url]X", "<a href=></a>X"},
        {"markup names are case-sensitive", "[URL=x]y[/URL] [URL]z[/URL]", "[URL=x]y[/URL] [URL]z[/URL]"},
        {"labelled web address: href= stands before it", "[url=http://srv]A[/url]", "<a href=http://srv>A</a>"},
        {"address link: the label is linked again", "[url]http://srv[/url]",
         R"(<a href=http://srv><a href="http://srv">http://srv</a></a>)"},
        {"address in a label is linked inside the anchor", "[url=http://srv]http://b[/url]",
         R"(<a href=http://srv><a href="http://b">http://b</a></a>)"},
        {"a short attribute address skips the label after it", "[url=http://a]http://b[/url]",
         "<a href=http://a>http://b</a>"},
    });
}

TEST(MessageMarkup, BareAddresses)
{
    expectAll({
        {"the comma ends an address", "see http://srv/x, ok", R"(see <a href="http://srv/x">http://srv/x</a>, ok)"},
        {"text ending in an address", "go http://srv", R"(go <a href="http://srv">http://srv</a>)"},
        {"Chinese runs on to the next blank", "見 http://srv/說明文件 好",
         R"(見 <a href="http://srv/說明文件">http://srv/說明文件</a> 好)"},
        {"each ending character", "http://a<b http://c'd http://e\"f http://g[h http://i\tj",
         "<a href=\"http://a\">http://a</a><b <a href=\"http://c\">http://c</a>'d <a href=\"http://e\">http://e</a>\"f "
         "<a href=\"http://g\">http://g</a>[h <a href=\"http://i\">http://i</a>\tj"},
        {"lower-case href keeps its address", "<a href=http://srv>x</a> <a href=\"http://srv\">y</a>",
         "<a href=http://srv>x</a> <a href=\"http://srv\">y</a>"},
        {"upper-case HREF does not count", "<A HREF=\"http://srv\">x</A>",
         R"(<A HREF="<a href="http://srv">http://srv</a>">x</A>)"},
        {"src= keeps its address", "<img src=http://srv/a.gif>", "<img src=http://srv/a.gif>"},
        {"src= counts in the five characters before", "<img src=  http://srv/a.gif>",
         "<img src=  <a href=\"http://srv/a.gif>\">http://srv/a.gif></a>"},
        {"href= counts in the six characters before", "href= http://a href=  http://b",
         "href= http://a href=  <a href=\"http://b\">http://b</a>"},
        {"a skipped address skips the next ten characters", "href=http://ahttp://b", "href=http://ahttp://b"},
        {"addresses one after another", "http://a http://b",
         R"(<a href="http://a">http://a</a> <a href="http://b">http://b</a>)"},
    });
}

// Positions count characters: a Chinese character is one, and its trail byte is never markup.
TEST(MessageMarkup, PositionsCountCharacters)
{
    expectAll({
        {"trail byte '[' does not end an address", "http://srv/加入 x",
         R"(<a href="http://srv/加入">http://srv/加入</a> x)"},
        {"trail byte ']' does not end a labelled address", "[url=http://x/設]看[/url]", "<a href=http://x/設>看</a>"},
        {"href= within six characters", "href=中http://srv", "href=中http://srv"},
        {"the skip after an attribute address counts characters", "href=http://中文http://x",
         "href=http://中文http://x"},
    });
    // Bytes outside every character set pass as stored.
    EXPECT_EQ(ConvertMessageMarkup(Big5Text("\x81\x40 \xFF\xA4"), 0, kBase).bytes(), "\x81\x40 \xFF\xA4");
}

TEST(MessageMarkup, IconsTrimmingAndLineBreaks)
{
    expectAll({
        {"icon: two blanks before the rest", "<img src=icon_smile.gif border=0>",
         R"(<img src="http://velm.example/icon_smile.gif"  border=0>)"},
        {"icon name runs to a blank", "<img src=icon_smile.gif>ok next",
         R"(<img src="http://velm.example/icon_smile.gif>ok"  next)"},
        {"icon name at the end of the text", "a <img src=icon_smile.gif>",
         R"(a <img src="http://velm.example/icon_smile.gif>")"},
        {"icon name ends at a line break", "<img src=icon_a.gif>\r\nb",
         "<img src=\"http://velm.example/icon_a.gif>\" <br>b"},
        {"two icons", "<img src=icon_a.gif border=0><img src=icon_b.gif border=0>",
         R"(<img src="http://velm.example/icon_a.gif"  border=0><img src="http://velm.example/icon_b.gif"  border=0>)"},
        {"empty text", "", ""},
        {"blanks and line breaks only", " \r\n\t \r\n ", ""},
        {"trailing break trimmed before breaks", "line1\r\nline2\r\n", "line1<br>line2"},
        {"leading control characters trimmed", "\x01\x1f  x \x7f", "x \x7f"},
        {"lone CR and LF stay", "a\rb\nc\r\r\nd", "a\rb\nc\r<br>d"},
    });
}

// Indented code keeps its indentation on the page; the blanks inside a line stay as written.
TEST(MessageMarkup, LeadingBlanksOfLinesAreKept)
{
    expectAll({
        {"indented code", "begin\r\n  x := 1;\r\n    if x > 0 then\r\nend;",
         "begin<br>&nbsp;&nbsp;x := 1;<br>&nbsp;&nbsp;&nbsp;&nbsp;if x > 0 then<br>end;"},
        {"a tab counts as four blanks", "{\r\n\tf();\r\n\t  g();\r\n}",
         "{<br>&nbsp;&nbsp;&nbsp;&nbsp;f();<br>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;g();<br>}"},
        {"blanks inside a line stay", "a  b\r\nc   d", "a  b<br>c   d"},
        {"blank line between indented ones", "x\r\n  a\r\n\r\n  b", "x<br>&nbsp;&nbsp;a<br><br>&nbsp;&nbsp;b"},
        {"indentation of the first line is trimmed as before", "  a\r\n  b", "a<br>&nbsp;&nbsp;b"},
        {"a tag that goes on past a break", "<a href=x\r\n  title=y>t</a>", "<a href=x<br>&nbsp;&nbsp;title=y>t</a>"},
        {"a lone LF starts no line", "a\n  b", "a\n  b"},
    });
    EXPECT_EQ(convert("程式:\r\n  x;"), "程式:<br>&nbsp;&nbsp;x;");
}

TEST(MessageMarkup, GBPostsAreConvertedBeforeAnyRule)
{
    // 连接 in GB, stored as its bytes read as code page 950.
    const std::string gb = "\xC1\xAC\xBD\xD3 [url=http://srv]\xC1\xAC[/url] http://x";
    EXPECT_EQ(ConvertMessageMarkup(Big5Text(gb), 1, kBase).toUtf8(),
              R"(連接 <a href=http://srv>連</a> <a href="http://x">http://x</a>)");
    EXPECT_EQ(ConvertMessageMarkup(Big5Text(gb), 2, kBase), ConvertMessageMarkup(Big5Text(gb), 0, kBase));
}

// Unclosed links whose address holds another opener would be copied, and grow, for ever.
TEST(MessageMarkup, EveryTextEnds)
{
    expectAll({
        {"unclosed link holding another opener keeps its opener", "a[url=b[url=c]d", "a[url=b<a href=c></a>c]d"},
        {"chain of unclosed openers", "[url=[url=[url=x]", "[url=[url=<a href=x></a>x]"},
        {"closed address link holding another opener", "[url][url]x[/url]", "[url]<a href=x>x</a>"},
    });

    const auto start = std::chrono::steady_clock::now();
    std::string nested;
    for (int i = 0; i < 2000; ++i)
        nested += "[url=";
    nested += "x]";
    EXPECT_LT(ConvertMessageMarkup(Big5Text(nested), 0, kBase).bytes().size(), 2 * nested.size());
    std::string doubled;
    for (int i = 0; i < 60; ++i)
        doubled = "[url]" + doubled + "[/url]";
    EXPECT_LT(ConvertMessageMarkup(Big5Text(doubled), 0, kBase).bytes().size(), 4 * doubled.size());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// Random mixes of markup pieces: every text ends, and the result grows at most linearly.
TEST(MessageMarkup, RandomMarkupEndsWithBoundedGrowth)
{
    const char *const pieces[] = {"[url=", "[url]", "[/url]",         "]",    "http://", "x", "中", " ", "\r\n",
                                  ",",     "href=", "<img src=icon_", "src=", "<",       "\""};
    std::mt19937 random(20040115);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 120);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int n = length(random); n > 0; --n)
            text += pieces[pick(random)];
        const std::string big5 = toCp950(text);
        const std::string html = ConvertMessageMarkup(Big5Text(big5), 0, kBase).bytes();
        ASSERT_LE(html.size(), 16 * big5.size() + 64) << text;
    }
}

} // namespace
