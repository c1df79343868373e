// Request targets taken apart strictly, and posts' HTML made harmless and linked to this server's pages.
#include "serve/post_html.h"
#include "serve/request_target.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velm::serve {
namespace {

TEST(ServeText, RequestTargetsAreDecodedOrRefused)
{
    struct Case {
        const char *target;
        bool valid;
        const char *path;
        const char *q; // the value of q, or null when there is none
    };
    const Case cases[] = {
        {"/", true, "/", nullptr},
        {"/search?q=%E5%AD%97+x", true, "/search", "字 x"},
        {"/search?q=%e5%ad%97&q=second", true, "/search", "字"},
        {"/a%2Fb?&&q", true, "/a/b", ""},
        {"/a+b", true, "/a+b", nullptr}, // a plus is a blank only in the query
        {"/a%zz", false, "", nullptr},
        {"/search?q=%4", false, "", nullptr},
        {"/search?q=%", false, "", nullptr},
        {"/search?q=%FF", false, "", nullptr},    // no UTF-8
        {"/search?q=%E5%AD", false, "", nullptr}, // a character cut short
        {"/search?q=%00", false, "", nullptr},
        {"/%C0%AF", false, "", nullptr}, // an overlong form of '/'
        {"search", false, "", nullptr},
        {"", false, "", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target);
        const auto parsed = parseRequestTarget(c.target);
        ASSERT_EQ(parsed.has_value(), c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(parsed->path, c.path);
        EXPECT_EQ(parsed->value("q").has_value(), c.q != nullptr);
        if (c.q) {
            EXPECT_EQ(*parsed->value("q"), c.q);
        }
    }
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(ServeText, UnsafeTagsShowAsText)
{
    const char *hostile[] = {
        "<script>alert(1)</script>",
        "<SCRIPT SRC=//x></SCRIPT>",
        "<scr<script>ipt>alert(1)</script>",
        "<meta http-equiv=refresh content=\"0;url=//x\">",
        "<META\nHTTP-EQUIV=\"refresh\" content=0>",
        "<meta/http-equiv=refresh content=0>",
        "<base href=//x/>",
        "<iframe src=//x></iframe>",
        "<frameset><frame src=//x></frameset>",
        "<object data=//x></object><embed src=//x><applet code=x>",
        "<form action=//x><input type=submit></form>",
        "<link rel=stylesheet href=//x>",
        "<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\"></noscript>",
    };
    const char *unsafe[] = {"<script", "<meta", "<base", "<iframe",   "<frame",   "<object", "<embed",
                            "<applet", "<form", "<link", "<noscript", "</script", "</form"};
    for (const char *html : hostile) {
        SCOPED_TRACE(html);
        const std::string safe = lower(NeutralizeUnsafeTags(html));
        for (const char *tag : unsafe)
            EXPECT_EQ(safe.find(tag), std::string::npos) << tag;
    }
    const std::string kept = "<a href=http://x>x</a><img src=icon_smile.gif border=0><b>a &lt; b</b> 1 < 2";
    EXPECT_EQ(NeutralizeUnsafeTags(kept), kept);
}

TEST(ServeText, TopicLinksLeadToThisServer)
{
    struct Case {
        const char *html;
        const char *expected;
    };
    const Case cases[] = {
        {"<a href=http://www.velm.org.tw/topic.asp?TOPIC_ID=1002>x</a>", "<a href=\"/topic/1002\">x</a>"},
        {"<a class=y HREF = 'http://other/Topic.Asp?Topic_Id=7&amp;x=1'>", "<a class=y HREF=\"/topic/7\">"},
        {"<a href=\"topic.asp?topic_id=\">", "<a href=\"#\">"},
        {"<a href=\"http://www.velm.org.tw/link.asp?topic_id=5\">",
         "<a href=\"http://www.velm.org.tw/link.asp?topic_id=5\">"},
        {"<img src=topic.asp?topic_id=3 alt='href=topic.asp?topic_id=3'>",
         "<img src=topic.asp?topic_id=3 alt='href=topic.asp?topic_id=3'>"},
        {"see href=topic.asp?topic_id=3 </a> <a", "see href=topic.asp?topic_id=3 </a> <a"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RewriteTopicLinks(c.html), c.expected) << c.html;
}

} // namespace
} // namespace velm::serve
