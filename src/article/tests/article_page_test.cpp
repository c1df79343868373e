#include "article/article_page.h"

#include "archive/util.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/hooks.h"

#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using namespace velm;

namespace {

constexpr const char *kBase = "http://velm.example/";

// Topic 1002 of the fixture archive as the view receives it, composed from the page's literals.
constexpr const char *kPage1002 =
    R"x(<html>)x"
    "\r\n"
    R"x(<META http-equiv=Content-Type content="text/html; charset=big5">)x"
    "\r\n"
    R"x(<style>font[face]{font-family:Verdana,Arial,Helvetica,"Liberation Sans","DejaVu Sans",sans-serif})x"
    R"x( a:focus{outline:none}</style>)x"
    "\r\n"
    R"x(<font size=2 color=blue>黃金文章</font>　<a href=http://velm.example/link.asp?topic_id=1002><fo)x"
    R"x(nt size=2 color=blue>檔案下載(20480 Bytes)</font></a><br><br>)x"
    "\r\n"
    R"x(<table border="0" width="100%" cellspacing="0" cellpadding="0" align="center">)x"
    "\r\n"
    R"x(  <tr>)x"
    "\r\n"
    R"x(    <td bgcolor="black">)x"
    "\r\n"
    R"x(    <table border="0" width="100%" cellspacing="1" cellpadding="3">)x"
    "\r\n"
    R"x(      <tr>)x"
    "\r\n"
    R"x(        <td colspan=2 align="left" bgcolor="midnightblue"><b><font face="Verdana, Arial, H)x"
    R"x(elvetica" size="2" color="mintcream">&nbsp;Delphi 新手入門&nbsp;</font></b></td>)x"
    "\r\n"
    R"x(      </tr>)x"
    "\r\n"
    R"x(      <tr>)x"
    "\r\n"
    R"x(        <td colspan=7 bgcolor="slateblue" align=left>)x"
    "\r\n"
    R"x(<b><font face=Verdana, Arial, Helvetica size=2 color=mintcream>ListBox 的 Items 如何排序</b></f)x"
    R"x(ont>)x"
    "\r\n"
    R"x(        </td>)x"
    "\r\n"
    R"x(    </tr>)x"
    "\r\n"
    R"x(<tr>)x"
    "\r\n"
    R"x(<td bgcolor="whitesmoke" align=left valign=top width=10%>)x"
    "\r\n"
    R"x(<font face="Verdana, Arial, Helvetica" color="midnightblue" size="2">)x"
    "\r\n"
    R"x(<b>發表人</b></font></td>)x"
    "\r\n"
    R"x(<td bgcolor="whitesmoke"  align=left  valign=top width=90%>)x"
    "\r\n"
    R"x(<font face="Verdana, Arial, Helvetica" color="midnightblue" size="2">)x"
    "\r\n"
    R"x(<b>內文</b></font></td></tr>)x"
    "\r\n"
    R"x()x"
    "\r\n"
    R"x(<tr><td bgcolor="whitesmoke" align=left valign=top><font face="Verdana, Arial, Helvetica" )x"
    R"x(color="midnightblue" size="2"><b>alice</b><br>2003/02/20<br>14:00:00</font></td><td bgcolo)x"
    R"x(r="whitesmoke"  align=left  valign=top><font face="Verdana, Arial, Helvetica" color="midni)x"
    R"x(ghtblue" size="2">設定 Sorted := True 就可以了嗎?<br>還是要自己寫 CustomSort?</font></td></tr><tr><td b)x"
    R"x(gcolor="whitesmoke" align=left  valign=top><font face="Verdana, Arial, Helvetica" color="m)x"
    R"x(idnightblue" size="2"><b>程式貓</b><br>2003/02/21<br>09:30:00</font></td><td bgcolor="whitesm)x"
    R"x(oke"  align=left valign=top><font face="Verdana, Arial, Helvetica" color="midnightblue" si)x"
    R"x(ze="2">Sorted 設為 True 即可，參考 <a href="http://velm.example/topic.asp?topic_id=1001">http://v)x"
    R"x(elm.example/topic.asp?topic_id=1001</a> 也有範例</td>)x"
    "\r\n"
    R"x(  </table>)x"
    "\r\n"
    R"x(</td>)x"
    "\r\n"
    R"x(</tr>)x"
    "\r\n"
    R"x(</table>)x"
    "\r\n"
    R"x(</html>)x"
    "\r\n"
    R"x()x"
    "\r\n";

size_t count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

bool has(const std::string &page, const std::string &utf8)
{
    return fromCp950(page).find(utf8) != std::string::npos;
}

// The fixture archive, converted once for the whole suite.
class FixtureArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<QTemporaryDir>();
        const std::string copy = s_dir->filePath("archive-small.mdb").toStdString();
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", copy);
        s_connection = std::make_unique<Connection>();
        s_connection->setConnectionText(copy);
        s_connection->open();
    }
    static void TearDownTestSuite()
    {
        s_connection.reset();
        s_dir.reset();
    }
    void SetUp() override { m_article.prepare(s_connection.get()); }

    std::string page(const std::string &topicId)
    {
        Big5Text built;
        EXPECT_TRUE(m_article.build(topicId, kBase, built)) << topicId;
        return built.bytes();
    }

    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline std::unique_ptr<Connection> s_connection;
    ArticlePage m_article;
};

TEST_F(FixtureArchive, GoldenTopicWithAttachmentIsTheWholePage)
{
    EXPECT_EQ(fromCp950(page("1002")), kPage1002);
}

TEST_F(FixtureArchive, RepliesFollowTheFirstPostEachInItsOwnCodeSystem)
{
    const std::string p = page("1001");
    EXPECT_EQ(count(p, R"(<tr><td bgcolor="whitesmoke" align=left  valign=top>)"), 3u);
    EXPECT_EQ(count(p, R"(<tr><td bgcolor="whitesmoke" align=left valign=top>)"), 1u);
    EXPECT_FALSE(has(p, "作者不存在的回覆")) << "the reply of a missing member is left out";
    EXPECT_TRUE(has(p, "<b>大陸網友</b><br>2003/01/17<br>12:00:00")) << fromCp950(p);
    EXPECT_TRUE(has(p, "謝謝，問題解決了!</td>")) << "the GB reply is converted";
    EXPECT_TRUE(has(p, "<b>小明</b><br>2003/01/15<br>09:30:12</font>"));
    EXPECT_TRUE(has(p, "參考:<a href=http://docs.example.com/inifiles>TIniFile 說明</a></font></td></tr>"));
    EXPECT_TRUE(has(p, R"(<img src="http://velm.example/icon_smile.gif"  border=0>)"));
    // Replies come in time order, and the cursor is left at the end.
    EXPECT_LT(fromCp950(p).find("阿華"), fromCp950(p).find("老王"));
    EXPECT_TRUE(m_article.Reply().eof());
}

TEST_F(FixtureArchive, SourceLinksWithoutGoldenMark)
{
    const std::string lowerY = page("1003");
    EXPECT_FALSE(has(lowerY, "黃金文章"));
    EXPECT_TRUE(has(lowerY, "</style>\r\n"
                            "<a href=http://velm.example/link.asp?topic_id=1003><font size=2 color=blue>原始網址:"
                            "http://velm.example/topic.asp?topic_Id=1003</font></a><br><br>\r\n"));
    EXPECT_TRUE(has(page("1006"), "<font size=2 color=blue>原始網址:")) << "a null file name is no attachment";

    // An address beyond Big5 (维 has no Big5 form) is shown as written and linked as sent.
    Big5Text beyond;
    ASSERT_TRUE(m_article.build("1003", "http://x.example/维基/論壇/", beyond));
    EXPECT_TRUE(has(beyond.bytes(), "<a href=http://x.example/%E7%BB%B4%E5%9F%BA/%E8%AB%96%E5%A3%87/link.asp?"
                                    "topic_id=1003><font size=2 color=blue>原始網址:http://x.example/&#32500;基/論壇/"
                                    "topic.asp?topic_Id=1003</font></a>"))
        << fromCp950(beyond.bytes());
}

TEST_F(FixtureArchive, PostsAndSubjectsAsStoredOrConvertedFromGB)
{
    const std::string gb = page("1004");
    EXPECT_TRUE(has(gb, "color=mintcream>如何用Delphi連接數據庫</b></font>")) << fromCp950(gb);
    EXPECT_TRUE(has(gb, "我用ADO連接Access數據庫總是失敗，<br>")) << fromCp950(gb);
    EXPECT_TRUE(has(gb, "請檢查路徑是否正確。")) << "its Big5 reply stays as stored";

    const std::string nullCode = page("1006");
    EXPECT_TRUE(has(nullCode, "CompactDatabase 之後自動編號會重排嗎?</font></td></tr>"));
    EXPECT_TRUE(has(nullCode, "補充: 請先備份<img src=\"http://velm.example/icon_wink.gif>再壓縮\"</td>"));
    EXPECT_TRUE(has(nullCode, "&nbsp;ADO/Jet 疑難雜症&nbsp;"));
}

TEST_F(FixtureArchive, LongFirstPostArrivesWhole)
{
    const std::string p = fromCp950(page("1016"));
    EXPECT_EQ(count(p, "段：長文測試，記憶體與資料庫。<br>"), 2499u);
    EXPECT_NE(p.find("size=\"2\">第00000段："), std::string::npos);
    EXPECT_NE(p.find("第02499段：長文測試，記憶體與資料庫。</font></td></tr>"), std::string::npos);
}

TEST_F(FixtureArchive, MissingTopicLeavesPageAndRepliesAlone)
{
    Big5Text p(page("1001"));
    const Big5Text before = p;
    ASSERT_TRUE(m_article.Reply().eof());
    for (const char *id : {"1005", "99999", "", "1001x", "99999999999999999999"}) {
        EXPECT_FALSE(m_article.build(id, kBase, p)) << id;
        EXPECT_EQ(p, before) << id;
        EXPECT_TRUE(m_article.Reply().isOpen() && m_article.Reply().eof()) << id;
    }
}

TEST_F(FixtureArchive, TagsWithoutRegardToCase)
{
    page("1001");
    EXPECT_EQ(fromCp950(m_article.PageProducer1HTMLTag("t_author")), "小明");
    EXPECT_EQ(m_article.PageProducer1HTMLTag("T_Replies"), "3");
    EXPECT_EQ(m_article.PageProducer1HTMLTag("T_LAST_POST"), "2003/01/17 12:00:00");
    EXPECT_EQ(fromCp950(m_article.PageProducer1HTMLTag("f_subject")), "Delphi 新手入門");
    EXPECT_EQ(m_article.PageProducer1HTMLTag("T_MESSAGE"), "");
}

TEST(ArticleTemplate, Expansion)
{
    auto tag = [](std::string_view name) { return name == "A" ? std::string("<#A>!") : "[" + std::string(name) + "]"; };
    struct Case {
        const char *text;
        const char *expected;
    };
    const Case cases[] = {
        {"x<#A>y", "x<#A>!y"},      // replacements are not scanned again
        {"<#B><#c d>", "[B][c d]"}, // the name is everything up to ">"
        {"a<#A", "a<#A"},           // an unclosed tag stays
        {"<#>z", "[]z"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ExpandTemplate(c.text, tag), c.expected) << c.text;
}

// The page's own style: sans-serif stand-ins for the faces it names, no focus ring on a followed link.
TEST(ArticleTemplate, StyleSheet)
{
    const std::string &page = ArticleTemplate();
    const size_t style = page.find("<style>");
    ASSERT_NE(style, std::string::npos);
    EXPECT_LT(style, page.find("<#T_GOOD>")); // before anything it styles
    const std::string sheet = page.substr(style, page.find("</style>") - style);
    EXPECT_NE(sheet.find("a:focus{outline:none}"), std::string::npos);
    const size_t faces = sheet.find("font[face]{font-family:");
    ASSERT_NE(faces, std::string::npos);
    const std::string families = sheet.substr(faces, sheet.find('}', faces) - faces);
    EXPECT_LT(families.find("Helvetica"), families.find("\"Liberation Sans\""));
    EXPECT_LT(families.find("\"Liberation Sans\""), families.find("\"DejaVu Sans\""));
    EXPECT_LT(families.find("\"DejaVu Sans\""), families.find("sans-serif"));
    EXPECT_EQ(std::count(page.begin(), page.end(), '\n'), 31);
}

// Archives built here for what the fixture lacks.
struct SqliteCloser {
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};

std::string makeArchive(const QTemporaryDir &dir, const std::string &sql)
{
    const std::string path = dir.filePath("edge.sqlite").toStdString();
    sqlite3 *raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    std::unique_ptr<sqlite3, SqliteCloser> db(raw);
    char *error = nullptr;
    EXPECT_EQ(sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    return path;
}

constexpr const char *kEdgeArchive = R"sql(
CREATE TABLE FORUM_MEMBERS (MEMBER_ID INTEGER, M_NAME VARCHAR(50));
CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_PID INTEGER, CAT_NAME VARCHAR(100), CAT_ORDER SMALLINT);
CREATE TABLE FORUM_FORUM (FORUM_ID INTEGER, CAT_ID INTEGER, F_SUBJECT VARCHAR(100));
CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, FORUM_ID INTEGER, CAT_ID INTEGER, T_SUBJECT VARCHAR(100),
  T_MESSAGE LONGTEXT, T_DATE VARCHAR(50), T_AUTHOR INTEGER, T_REPLIES INTEGER, T_LAST_POST VARCHAR(50), T_GOOD VARCHAR(1),
  T_CODESYSTEM SMALLINT, T_FILENAME VARCHAR(255), T_FILESIZE INTEGER);
CREATE TABLE FORUM_REPLY (REPLY_ID INTEGER, TOPIC_ID INTEGER, R_MESSAGE LONGTEXT, R_AUTHOR INTEGER,
  R_DATE VARCHAR(50), R_CODESYSTEM SMALLINT);
INSERT INTO FORUM_MEMBERS VALUES (1, 'ann'), (2, 'bob');
INSERT INTO FORUM_FORUM VALUES (1, 1, 'f1');
INSERT INTO FORUM_TOPICS VALUES (1, 999, 1, 's1', 'm1', '2004', 1, 0, '', 'Y', 0, char(9) || ' ' || char(1), 0),
  (2, NULL, 1, 's2', 'm2', '20040101000000', 2, 2, '', 'N', 0, NULL, NULL),
  (3, 1, 1, 's3', 'm3', '', 9, 0, '', 'N', 0, NULL, NULL);
INSERT INTO FORUM_REPLY VALUES (1, 2, 'second', 1, '20040103000000', 0), (2, 2, 'first', 2, '20040102000000', 0),
  (3, 2, 'lost', 3, '20040101000000', 0);
)sql";

TEST(ArticleEdges, ForumNamesAttachmentsAndReplyOrder)
{
    QTemporaryDir dir;
    Connection connection;
    connection.setConnectionText(makeArchive(dir, kEdgeArchive));
    connection.open();
    ArticlePage article;
    article.prepare(&connection);

    Big5Text built;
    const std::string &p = built.bytes();
    ASSERT_TRUE(article.build("1", kBase, built));
    EXPECT_NE(p.find("&nbsp;&nbsp;"), std::string::npos) << "a forum without a row has no name";
    EXPECT_TRUE(
        has(p, "黃金文章</font>　<a href=http://velm.example/link.asp?topic_id=1><font size=2 color=blue>原始網址:"))
        << "blanks and control characters are no file name";
    EXPECT_NE(p.find("<b>ann</b><br>2004//<br>::</font>"), std::string::npos) << "a short time stamp keeps its marks";
    EXPECT_NE(p.find("m1</font></td></tr>\r\n  </table>"), std::string::npos) << "no replies: the first row alone";

    ASSERT_TRUE(article.build("2", kBase, built));
    EXPECT_NE(p.find("&nbsp;&nbsp;"), std::string::npos) << "a topic without a forum id has no forum name";
    const size_t first = p.find("first</td>");
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(first, p.find("second</td>"));
    EXPECT_EQ(p.find("lost"), std::string::npos);

    EXPECT_FALSE(article.build("3", kBase, built)) << "a topic whose author is missing is not shown";
}

TEST(ArticleEdges, FailedForumLookupPassesOnWithItsStatement)
{
    QTemporaryDir dir;
    Connection connection;
    connection.setConnectionText(makeArchive(dir, kEdgeArchive));
    connection.open();
    ExecuteSQL("DROP TABLE FORUM_FORUM", &connection);
    ArticlePage article;
    article.prepare(&connection);
    std::string clipboard;
    hooks::setClipboard([&](const std::string &text) { clipboard = text; });
    Big5Text p("unchanged");
    EXPECT_THROW(article.build("1", kBase, p), Error);
    hooks::setClipboard(nullptr);
    EXPECT_EQ(clipboard, "SELECT F_SUBJECT FROM FORUM_FORUM WHERE FORUM_ID=999");
    EXPECT_EQ(p.bytes(), "unchanged");
}

} // namespace
