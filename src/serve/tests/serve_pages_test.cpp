// The server's pages from a copy of the demo archive, made as a browser would ask for them.
#include "serve/pages.h"
#include "serve/read_only_archive.h"
#include "serve_archive.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <future>
#include <vector>

namespace velm::serve {
namespace {

size_t countOf(const std::string &text, const std::string &part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

constexpr const char *kRow = "<tr><td class=\"subject\">";

TEST(ServePages, EachPageAsAskedFor)
{
    test::ServedArchive archive;
    archive.addForum(199, 120, 5000);
    const PageServer pages(archive.path(), "http://www.velm.org.tw/");
    struct Case {
        const char *target;
        int status;
        std::vector<const char *> holds;
        std::vector<const char *> lacks = {};
        int rows = -1; // topic rows on the page, where it lists topics
    };
    const Case cases[] = {
        {"/",
         200,
         {"<summary>Velm討論區</summary>", "href=\"/forum/101\">Delphi 新手上路</a> <span class=\"count\">(", "(120)"}},
        {"/forum/101",
         200,
         {"<th>發表人</th>", "href=\"/topic/1009\">Delphi 7 安裝完開啟舊專案出現 Package 載入錯誤</a>"}},
        {"/forum/199", 200, {"第 1 / 3 頁", "href=\"/forum/199?page=2\">下一頁", ">主題 0</a>"}, {"上一頁"}, 50},
        {"/forum/199?page=3", 200, {"第 3 / 3 頁", ">主題 119</a>"}, {"下一頁"}, 20},
        {"/forum/199?page=4", 404, {"找不到這個網頁"}},
        {"/forum/199?page=0", 400, {"要求的格式不正確"}},
        {"/forum/98765", 404, {}},
        // Topic links lead to this server; the forum's own download and source links stay.
        {"/topic/1009",
         200,
         {"href=\"/topic/1002\"", "link.asp?topic_id=1009", "dclrx5.bpl", "<title>Delphi 7 安裝完開啟舊專案"},
         {"charset=big5", "<form"}},
        // A GB-coded topic shows converted, as in the window.
        {"/topic/1028", 200, {"<title>Delphi 中如何獲取程序自身的路徑？</title>"}},
        {"/topic/1009?hl=RxLib", 200, {"<mark>RxLib</mark>"}},
        {"/topic/424242", 404, {}},
        {"/topic/12abc", 404, {}},
        {"/search?q=RxLib", 200, {"href=\"/topic/1009?hl=RxLib\""}},
        // Simplified characters find the traditional ones, and the pages mark what was found.
        {"/search?q=%E8%BD%BD%E5%85%A5", 200, {"href=\"/topic/1009?hl=%E8%BC%89%E5%85%A5\""}},
        {"/search?q=zzzqqq", 200, {"查無資料"}},
        {"/search", 200, {"快速搜尋"}, {kRow}},
        {"/asearch", 200, {"value=\"whole\"", "只找有檔案下載者", "最近一年", "全部的討論區"}, {kRow}},
        {"/asearch?run=1&kw=RxLib&mode=and&date=0&field=all&forum=0&b1=1&b2=1&b3=1&b5=1",
         200,
         {"href=\"/topic/1009?hl=RxLib\""}},
        {"/asearch?run=1&kw=RxLib&member=nobody", 200, {"找不到會員nobody"}, {kRow}},
        {"/asearch?mode=bogus", 400, {}},
        {"/asearch?forum=424242", 400, {}},
        {"/search?q=%ZZ", 400, {}},
        {"/nothing", 404, {"404 找不到這個網頁"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target);
        const Response response = pages.respond(c.target);
        EXPECT_EQ(response.status, c.status);
        for (const char *part : c.holds)
            EXPECT_NE(response.body.find(part), std::string::npos) << part;
        for (const char *part : c.lacks)
            EXPECT_EQ(response.body.find(part), std::string::npos) << part;
        if (c.rows >= 0) {
            EXPECT_EQ(countOf(response.body, kRow), static_cast<size_t>(c.rows));
        }
        EXPECT_EQ(response.policy == kPostPolicy, std::string_view(c.target).starts_with("/topic/") && c.status == 200);
    }
}

// Pages keep coming while another program holds the archive's write lock, and show its rows once committed.
TEST(ServePages, ReadsBesideAWriter)
{
    test::ServedArchive archive;
    archive.execute("PRAGMA journal_mode=WAL; INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, "
                    "T_LAST_POST, T_SUBJECT, T_MESSAGE) VALUES (7776, 101, 1, 778, '20040401000000', "
                    "'20990101000000', '無名作者的主題', 'x')");
    const PageServer pages(archive.path(), "http://www.velm.org.tw/");
    const std::string before = pages.respond("/").body;
    EXPECT_NE(pages.respond("/forum/101").body.find(">778<"), std::string::npos); // no such member yet
    EXPECT_EQ(sqlite3_db_readonly(openReadOnlyArchive(archive.path())->handle(), "main"), 1);

    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(archive.path().c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "BEGIN IMMEDIATE; INSERT INTO FORUM_MEMBERS (MEMBER_ID, M_NAME) VALUES (778, '新會員'); "
                           "INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, "
                           "T_LAST_POST, T_SUBJECT, T_MESSAGE) VALUES (7777, 101, 1, 2, '20040401000000', "
                           "'20990101000000', '寫入中的主題', 'x')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const Response during = pages.respond("/forum/101");
    EXPECT_EQ(during.status, 200);
    EXPECT_EQ(during.body.find("寫入中的主題"), std::string::npos);
    EXPECT_EQ(pages.respond("/").body, before);
    ASSERT_EQ(sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
    const std::string after = pages.respond("/forum/101").body;
    EXPECT_NE(after.find("寫入中的主題"), std::string::npos);
    EXPECT_NE(after.find(">新會員<"), std::string::npos); // names asked before are asked again
    EXPECT_NE(pages.respond("/").body, before);           // the tree's counts follow
}

// Threads make the same pages as one thread does: each reads through its own connection.
TEST(ServePages, ThreadsMakeTheSamePages)
{
    test::ServedArchive archive;
    const PageServer pages(archive.path(), "http://www.velm.org.tw/");
    const std::vector<std::string> targets = {"/",           "/forum/101",      "/topic/1009",
                                              "/topic/1028", "/search?q=RxLib", "/asearch?run=1&kw=Delphi&b1=1&b5=1"};
    std::vector<std::string> expected;
    for (const std::string &target : targets)
        expected.push_back(pages.respond(target).body);
    std::vector<std::future<bool>> runs;
    for (int thread = 0; thread < 4; ++thread)
        runs.push_back(std::async(std::launch::async, [&] {
            bool same = true;
            for (int round = 0; round < 10; ++round)
                for (size_t i = 0; i < targets.size(); ++i)
                    same = same && pages.respond(targets[i]).body == expected[i];
            return same;
        }));
    for (auto &run : runs)
        EXPECT_TRUE(run.get());
}

} // namespace
} // namespace velm::serve
