#include "article/keyword_highlight.h"

#include <gtest/gtest.h>

using namespace velm;

namespace {

TEST(KeywordHighlight, MarksTextOnly)
{
    struct Case {
        const char *html;
        std::vector<std::string> keywords;
        const char *marked;
    };
    const Case cases[] = {
        {"<p>a socket here</p>", {"socket"}, "<p>a <mark>socket</mark> here</p>"},
        // Letters match without regard to case; the page keeps its own spelling.
        {"Socket and SOCKET", {"socket"}, "<mark>Socket</mark> and <mark>SOCKET</mark>"},
        // Tag names, attributes and quoted values that hold '>' are not text.
        {"<a href=\"socket.htm\" title='x>socket'>socket</a>",
         {"socket"},
         "<a href=\"socket.htm\" title='x>socket'><mark>socket</mark></a>"},
        {"<socket>text</socket>", {"socket"}, "<socket>text</socket>"},
        {"<!-- socket -->socket", {"socket"}, "<!-- socket --><mark>socket</mark>"},
        // Elements whose text is not shown as page text.
        {"<TITLE>socket</TITLE><Script>socket()</sCRIPT><style>.socket{}</style><textarea>socket</textarea>socket",
         {"socket"},
         "<TITLE>socket</TITLE><Script>socket()</sCRIPT><style>.socket{}</style><textarea>socket</textarea>"
         "<mark>socket</mark>"},
        // Character references are one character each.
        {"&amp;amp; a&amp;b", {"amp"}, "&amp;<mark>amp</mark>; a&amp;b"},
        {"x &lt;T&gt; y", {"<T>"}, "x <mark>&lt;T&gt;</mark> y"},
        {"R&amp;D", {"r&d"}, "<mark>R&amp;D</mark>"},
        // A '<' that opens no tag is text.
        {"a < b socket", {"socket"}, "a < b <mark>socket</mark>"},
        // Chinese text (UTF-8).
        {"<td>如何在 Delphi 中讀取 INI 檔</td>", {"讀取"}, "<td>如何在 Delphi 中<mark>讀取</mark> INI 檔</td>"},
        // Several keywords; the longest where they start at one place; empty ones ignored.
        {"thread threads", {"", "thread", "threads"}, "<mark>thread</mark> <mark>threads</mark>"},
        {"socket thread", {"thread", "socket"}, "<mark>socket</mark> <mark>thread</mark>"},
        {"no keyword", {}, "no keyword"},
        {"no keyword", {""}, "no keyword"},
        // An unclosed tag or comment at the end is left as it is.
        {"socket <a href='socket", {"socket"}, "<mark>socket</mark> <a href='socket"},
        {"socket <!-- socket", {"socket"}, "<mark>socket</mark> <!-- socket"},
        // Contents the browser reads as raw text stay as they are; with scripts off, noscript's are page text.
        {"<xmp>zqx</xmp><plaintext>zqx</plaintext>zqx", {"zqx"}, "<xmp>zqx</xmp><plaintext>zqx</plaintext>zqx"},
        {"<noembed>zqx</noembed><noframes>zqx</noframes><iframe src=a>zqx</iframe><noscript>zqx</noscript>",
         {"zqx"},
         "<noembed>zqx</noembed><noframes>zqx</noframes><iframe src=a>zqx</iframe><noscript><mark>zqx</mark>"
         "</noscript>"},
        {"<XMP/>zqx</xmpx>zqx</xmp >zqx", {"zqx"}, "<XMP/>zqx</xmpx>zqx</xmp ><mark>zqx</mark>"},
        // References without ';' are one character too, as far as the browser reads them.
        {"&nbsp&#160 &#xA0nbsp &notin",
         {"nbsp", "160", "a0", "in"},
         "&nbsp&#160 &#xA0<mark>nbsp</mark> &not<mark>in</mark>"},
        // A quote opens a value only after '='; comments end as the browser ends them.
        {"<a x=y'z title='>zqx'>zqx", {"zqx"}, "<a x=y'z title='>zqx'><mark>zqx</mark>"},
        {"<!-->zqx<!-- a --!>zqx", {"zqx"}, "<!--><mark>zqx</mark><!-- a --!><mark>zqx</mark>"},
        // Overlapping places: the leftmost first, then on after it.
        {"aaaab ABABABAB", {"aab", "abab"}, "aa<mark>aab</mark> <mark>ABAB</mark><mark>ABAB</mark>"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(HighlightKeywords(c.html, c.keywords), c.marked) << c.html;
}

TEST(KeywordHighlight, MarkedPageKeepsItsMarkup)
{
    const std::string page = "<html><head><title>T</title></head><body><table><tr><td>Aa aA</td></tr></table>"
                             "</body></html>";
    const std::string marked = HighlightKeywords(page, {"aa"});
    EXPECT_EQ(marked, "<html><head><title>T</title></head><body><table><tr><td><mark>Aa</mark> <mark>aA</mark>"
                      "</td></tr></table></body></html>");
    // Taking the marks out gives the page back.
    std::string unmarked = marked;
    for (const char *tag : {"<mark>", "</mark>"})
        for (auto at = unmarked.find(tag); at != std::string::npos; at = unmarked.find(tag))
            unmarked.erase(at, std::string_view(tag).size());
    EXPECT_EQ(unmarked, page);
}

} // namespace
