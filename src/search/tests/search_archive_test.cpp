// Both searches run on archives: the fixture archive, and small ones made here for the failures.
#include "search/advanced_search.h"
#include "search/quick_search.h"
#include "search/tests/fake_host.h"
#include "search/tests/search_choices.h"

#include "archive/database.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/hooks.h"

#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace velm;
using namespace std::chrono;

namespace {

using test::FakeHost;

class FixtureSearch : public ::testing::Test {
protected:
    void SetUp() override { test::openFixtureArchive(dir, archive); }
    void TearDown() override { SetDefaultConnection(nullptr); }

    QTemporaryDir dir;
    Connection archive;
};

constexpr year_month_day k10March2004 = 2004y / March / 10;

TEST(QuickSearchSql, TwoLinesWithOnlyQuotesDoubled)
{
    EXPECT_EQ(QuickSearchSql("rs232"),
              "SELECT * FROM FORUM_TOPICS WHERE T_SUBJECT LIKE '%rs232%' OR T_MESSAGE LIKE '%rs232%'\n"
              "or TOPIC_ID IN (SELECT TOPIC_ID FROM FORUM_REPLY WHERE R_MESSAGE LIKE '%rs232%')");
    EXPECT_EQ(QuickSearchSql(" it's_%"),
              "SELECT * FROM FORUM_TOPICS WHERE T_SUBJECT LIKE '% it''s\\_\\%%' ESCAPE '\\' OR T_MESSAGE LIKE "
              "'% it''s\\_\\%%' ESCAPE '\\'\n"
              "or TOPIC_ID IN (SELECT TOPIC_ID FROM FORUM_REPLY WHERE R_MESSAGE LIKE '% it''s\\_\\%%' ESCAPE '\\')");
}

TEST_F(FixtureSearch, QuickSearchFindsSubjectsBodiesAndReplies)
{
    const std::pair<std::string, std::vector<std::int64_t>> cases[] = {
        {"socket", {1005, 1014}},                         // LIKE ignores the case of ASCII letters: TClientSocket
        {" socket", {1014}},                              // the blank is part of the pattern
        {"it's", {1011}},         {"ReadString", {1001}}, // only in a reply of 1001
        {B5("同步"), {1014}},                             // only in a reply, listed once
        {"no such words", {}},
    };
    for (const auto &[keyword, expected] : cases) {
        FakeHost host(archive);
        EXPECT_EQ(RunQuickSearch(host, keyword), !expected.empty()) << keyword;
        EXPECT_TRUE(host.topic.isOpen()) << keyword;
        EXPECT_EQ(host.ids(), expected) << keyword;
        EXPECT_EQ(host.changes, 1);
        EXPECT_EQ(host.status, "");
    }
}

using test::choose;

TEST_F(FixtureSearch, AdvancedSearchOnTheFixture)
{
    SearchChoices lastWeek, forum, golden, files;
    lastWeek.datePosition = 3;
    forum.forum = 101;
    golden.boxes[kGoldenBox] = true;
    files.boxes[kFileBox] = true;
    const std::pair<SearchChoices, std::vector<std::int64_t>> cases[] = {
        {choose("socket thread"), {1014}},
        {choose(B5("同步")), {1014}},
        {choose("TreeView", MatchMode::WholeLine, SearchField::SubjectOnly), {1013}},
        {choose("", MatchMode::And, SearchField::SubjectOnly, "O'Brien"), {1013, 1007}},
        // alice wrote 1002 and replied in 1014 (and in 1009, whose kind is not ticked).
        {choose("", MatchMode::And, SearchField::All, "alice"), {1014, 1002}},
        {choose("", MatchMode::And, SearchField::SubjectOnly, "alice"), {1002}},
        {lastWeek, {1016, 1014, 1013}},
        {forum, {1014, 1013, 1002, 1001}},
        // Text compares without regard to letter case: 1003's "y" is golden here too.
        {golden, {1010, 1003, 1002}},
        {choose("treeview", MatchMode::WholeLine, SearchField::SubjectOnly), {1013}},
        {choose("", MatchMode::And, SearchField::SubjectOnly, "ALICE"), {1002}},
        // 1003's file name is blanks only and 1006's is null; the box adds the kind of 1009.
        {files, {1009, 1002}},
    };
    for (const auto &[choices, expected] : cases) {
        FakeHost host(archive);
        EXPECT_TRUE(RunAdvancedSearch(host, choices, k10March2004)) << choices.keywords << "|" << choices.member;
        EXPECT_EQ(host.ids(), expected) << choices.keywords << "|" << choices.member;
        EXPECT_EQ(host.status, "");
    }
}

TEST_F(FixtureSearch, EmptyResultsCloseTheTopicQuery)
{
    SearchChoices noRow;
    noRow.keywords = "it's";
    SearchChoices noCategory;
    noCategory.boxes.fill(false);
    for (const SearchChoices &choices : {noRow, noCategory}) {
        FakeHost host(archive);
        ASSERT_TRUE(RunQuickSearch(host, "socket"));
        EXPECT_FALSE(RunAdvancedSearch(host, choices, k10March2004));
        EXPECT_FALSE(host.topic.isOpen());
        EXPECT_EQ(host.status, B5("找不到相關資料"));
    }
}

TEST_F(FixtureSearch, SearchesThatFindRowsTakeBackTheNotFoundText)
{
    SearchChoices noRow;
    noRow.keywords = "it's";
    FakeHost host(archive);
    ASSERT_FALSE(RunAdvancedSearch(host, noRow, k10March2004));
    ASSERT_EQ(host.status, B5("找不到相關資料"));
    EXPECT_TRUE(RunAdvancedSearch(host, choose("socket thread"), k10March2004));
    EXPECT_EQ(host.status, "");

    ASSERT_FALSE(RunAdvancedSearch(host, noRow, k10March2004));
    // A quick search without rows says so in a box and leaves the status bar; one with rows clears it.
    EXPECT_FALSE(RunQuickSearch(host, "no such words"));
    EXPECT_EQ(host.status, B5("找不到相關資料"));
    EXPECT_TRUE(RunQuickSearch(host, "socket"));
    EXPECT_EQ(host.status, "");
}

TEST_F(FixtureSearch, SearchesThatFindRowsNameTheirKeywords)
{
    FakeHost host(archive);
    EXPECT_FALSE(RunQuickSearch(host, "no such words"));
    SearchChoices noRow;
    noRow.keywords = "it's";
    EXPECT_FALSE(RunAdvancedSearch(host, noRow, k10March2004));
    EXPECT_TRUE(host.found.empty());

    // The quick search looks for what was typed as one text; the advanced one for each word.
    EXPECT_TRUE(RunQuickSearch(host, "socket"));
    EXPECT_TRUE(RunAdvancedSearch(host, choose("socket thread"), k10March2004));
    const std::vector<std::vector<std::string>> expected = {{"socket"}, {"socket", "thread"}};
    EXPECT_EQ(host.found, expected);
}

TEST_F(FixtureSearch, UnknownMemberLeavesTheTopicsAlone)
{
    FakeHost host(archive);
    ASSERT_TRUE(RunQuickSearch(host, "socket"));
    SearchChoices choices;
    choices.member = "O'Brien ";
    try {
        RunAdvancedSearch(host, choices, k10March2004);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.utf8(), "找不到會員O'Brien ");
    }
    EXPECT_EQ(host.changes, 1);
    EXPECT_EQ(host.ids(), (std::vector<std::int64_t>{1005, 1014}));
}

TEST_F(FixtureSearch, ForumListHoldsEveryForumOfTheTreeInItsOrder)
{
    std::vector<std::pair<std::int64_t, std::string>> forums;
    for (const SearchForum &f : SearchForumList())
        forums.emplace_back(f.id, fromCp950(f.subject));
    const std::vector<std::pair<std::int64_t, std::string>> expected{
        {104, "Socket 網路程式"}, {105, "ADO/Jet 疑難雜症"}, {103, "資料庫程式設計"}, {101, "Delphi 新手入門"},
        {102, "Delphi 進階技巧"}, {106, "BCB 一般討論"},     {107, "Kylix 討論"},     {108, "VCL 元件分享"},
        {109, "站務公告"},        {110, "測試區"},
    };
    EXPECT_EQ(forums, expected);
}

// The demo archive a build places in its program folder offers all its seventeen forums.
TEST(DemoSearch, ForumListOfTheDemoArchive)
{
    QTemporaryDir dir;
    const std::string copy = dir.filePath("velm.sqlite").toStdString();
    std::filesystem::copy_file(VELM_DEMO_ARCHIVE, copy);
    Connection archive;
    archive.setConnectionText(copy);
    archive.open();
    SetDefaultConnection(&archive);
    std::vector<std::pair<std::int64_t, std::string>> forums;
    for (const SearchForum &f : SearchForumList())
        forums.emplace_back(f.id, fromCp950(f.subject));
    SetDefaultConnection(nullptr);
    const std::vector<std::pair<std::int64_t, std::string>> expected{
        {102, "VCL 與表單設計"},    {104, "ADO 與 Access"},   {103, "dbExpress 與 BDE"}, {105, "Socket 與 Indy"},
        {106, "Win32 API 與 DLL"},  {101, "Delphi 新手上路"}, {108, "BCB 進階技巧"},     {107, "C++ Builder 入門"},
        {110, "Linux 安裝與設定"},  {109, "Kylix 程式設計"},  {112, "原始碼分享區"},     {111, "元件使用討論"},
        {113, "Delphi 8 for .NET"}, {114, "C#Builder 討論"},  {116, "閒聊區"},           {117, "求職與求才"},
        {115, "站務公告"},
    };
    EXPECT_EQ(forums, expected);
}

// In a programming forum %d, __init__ and C:\ are words: both searches find the topics holding them, as
// instr() over ASCII-folded text counts them, not every topic.
TEST(DemoSearch, PatternCharactersMatchThemselves)
{
    QTemporaryDir dir;
    const std::string copy = dir.filePath("velm.sqlite").toStdString();
    std::filesystem::copy_file(VELM_DEMO_ARCHIVE, copy);
    Connection archive;
    archive.setConnectionText(copy);
    archive.open();
    SetDefaultConnection(&archive);
    auto holding = [&](const std::string &word, const char *field) {
        const std::string w = "lower('" + QuoteDoubled(word) + "')";
        return "instr(lower(" + std::string(field) + ")," + w + ")>0";
    };
    auto idsOf = [&](const std::string &sql) {
        Query query(&archive);
        query.setSql(sql + " ORDER BY TOPIC_ID");
        query.open();
        std::vector<std::int64_t> ids;
        for (; !query.eof(); query.next())
            ids.push_back(query.field(0).asInteger());
        return ids;
    };
    auto sorted = [](std::vector<std::int64_t> ids) {
        std::sort(ids.begin(), ids.end());
        return ids;
    };
    for (const std::string word : {"%d", "_", "\\", "C:\\", "%", "100%"}) {
        const std::string holds = "(" + holding(word, "T_SUBJECT") + " OR " + holding(word, "T_MESSAGE") +
                                  " OR TOPIC_ID IN (SELECT TOPIC_ID FROM FORUM_REPLY WHERE " +
                                  holding(word, "R_MESSAGE") + "))";
        const std::vector<std::int64_t> ids = idsOf("SELECT TOPIC_ID FROM FORUM_TOPICS WHERE " + holds);
        ASSERT_LT(ids.size(), 69u) << word;
        FakeHost quick(archive);
        RunQuickSearch(quick, word);
        EXPECT_EQ(sorted(quick.ids()), ids) << word;

        SearchChoices choices;
        choices.keywords = word;
        choices.boxes = {true, true, true, true, true, false, false};
        FakeHost advanced(archive);
        RunAdvancedSearch(advanced, choices, k10March2004);
        EXPECT_EQ(advanced.topic.isOpen() ? sorted(advanced.ids()) : std::vector<std::int64_t>{},
                  idsOf("SELECT TOPIC_ID FROM FORUM_TOPICS WHERE " + holds +
                        " AND CAT_ID IN (SELECT CAT_ID FROM FORUM_CATEGORY WHERE CAT_KIND IN (1,2,3,4,9))"))
            << word;
    }
    SetDefaultConnection(nullptr);
}

// A rejected statement leaves ADOTopic closed; only the advanced search puts it on the clipboard.
TEST(SearchFailures, RejectedStatementsLeaveTheTopicQueryClosed)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("no-replies.sqlite").toStdString();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, FORUM_ID INTEGER, CAT_ID INTEGER, "
                           "T_SUBJECT VARCHAR(100), T_MESSAGE LONGTEXT, T_LAST_POST VARCHAR(50));"
                           "CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_PID INTEGER, CAT_ORDER SMALLINT, "
                           "CAT_KIND SMALLINT);"
                           "INSERT INTO FORUM_CATEGORY VALUES (1, 0, 1, 1);"
                           "INSERT INTO FORUM_TOPICS VALUES (1, 1, 1, 'a', 'b', '2004');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    Connection archive;
    archive.setConnectionText(path);
    archive.open();
    SetDefaultConnection(&archive);

    std::string clipboard;
    hooks::setClipboard([&](const std::string &text) { clipboard = text; });

    FakeHost host(archive);
    EXPECT_THROW(RunQuickSearch(host, "a"), Error);
    EXPECT_FALSE(host.topic.isOpen());
    EXPECT_EQ(clipboard, "");
    SearchChoices choices;
    choices.keywords = "a";
    EXPECT_THROW(RunAdvancedSearch(host, choices, k10March2004), Error);
    EXPECT_FALSE(host.topic.isOpen());
    EXPECT_NE(clipboard.find(" left join FORUM_REPLY"), std::string::npos);
    EXPECT_EQ(host.status, "");
    hooks::setClipboard({});
    SetDefaultConnection(nullptr);
}

} // namespace
