#include "archive/database.h"
#include "cli/tests/cli_run.h"
#include "store/read_marks.h"
#include "store/reader_store.h"

#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace velm;

namespace {

// The lines of the output that begin with the topic id.
std::vector<std::string> rowsOf(const std::string &out)
{
    std::vector<std::string> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    return rows;
}

std::vector<std::string> idsOf(const std::string &out)
{
    std::vector<std::string> ids;
    for (const std::string &row : rowsOf(out))
        ids.push_back(row.substr(0, row.find('\t')));
    return ids;
}

class SearchCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        fixture = dir.filePath("archive-small.mdb").toStdString();
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", fixture);
    }

    test::CliRun onFixture(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--archive", fixture});
        return test::runVelm(args);
    }

    QTemporaryDir dir;
    std::string fixture;
};

TEST_F(SearchCli, WorkedExamplesPrintTheirStatements)
{
    // The categories of kinds 1, 2, 3 and 9 are 1, 2, 3, 5 and 6; abc is member 57; forum 12 is listed.
    const std::string path = dir.filePath("examples.sqlite").toStdString();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, R"sql(
        CREATE TABLE FORUM_MEMBERS (MEMBER_ID INTEGER, M_NAME VARCHAR(50));
        CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_PID INTEGER, CAT_NAME VARCHAR(100), CAT_ORDER SMALLINT,
          CAT_KIND SMALLINT);
        CREATE TABLE FORUM_FORUM (FORUM_ID INTEGER, CAT_ID INTEGER, F_SUBJECT VARCHAR(100));
        INSERT INTO FORUM_MEMBERS VALUES (57, 'abc');
        INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'a', 1, 1), (2, 0, 'b', 2, 2), (3, 0, 'c', 3, 3), (4, 0, 'd', 4, 4),
          (5, 0, 'e', 5, 9), (6, 5, 'f', 1, 9);
        INSERT INTO FORUM_FORUM VALUES (12, 1, 'x');
    )sql",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    const std::string select = "select distinct FORUM_TOPICS.TOPIC_ID,FORUM_TOPICS.FORUM_ID,T_DATE,T_SUBJECT,"
                               "T_CODESYSTEM,T_AUTHOR,T_REPLIES,T_LAST_POST,T_GOOD from FORUM_TOPICS";
    const std::string join = " left join FORUM_REPLY on FORUM_TOPICS.TOPIC_ID = FORUM_REPLY.TOPIC_ID";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"socket", "thread"},
         select + join +
             " where ( (( T_SUBJECT like '%socket%' and T_SUBJECT like '%thread%') or ( T_MESSAGE like '%socket%' and "
             "T_MESSAGE like '%thread%')) or ( R_MESSAGE like '%socket%' and R_MESSAGE like '%thread%')) and "
             "FORUM_TOPICS.CAT_ID in (1,2,3,5,6)  ORDER BY T_LAST_POST DESC \n"},
        {{"--mode", "whole", "--field", "subject", "--member", "abc", "--date", "3", "--today", "2024-03-10", "--forum",
          "12", "--boxes", "1,2,3,5,6", "TreeView"},
         select +
             " where  (T_AUTHOR=57 and (T_SUBJECT='TreeView')) and T_DATE >='20240303' and FORUM_TOPICS.FORUM_ID=12 "
             "AND T_GOOD='Y'  ORDER BY T_LAST_POST DESC \n"},
        {{"--mode", "or", "--member", "abc", "--date", "5", "--today", "2024-03-10", "--boxes", "1,5",
          "socket  thread"},
         select + join +
             " where  ((T_AUTHOR=57 and  (( T_SUBJECT like '%socket%' or  T_SUBJECT like '%thread%') or ( T_MESSAGE "
             "like '%socket%' or  T_MESSAGE like '%thread%'))) or ( R_AUTHOR=57 and ( R_MESSAGE like '%socket%' or  "
             "R_MESSAGE like '%thread%'))) and T_DATE >='20240210' and FORUM_TOPICS.CAT_ID in (1,5,6)  ORDER BY "
             "T_LAST_POST DESC \n"},
    };
    for (const auto &[args, statement] : cases) {
        std::vector<std::string> full{"--archive", path, "asearch", "--sql"};
        full.insert(full.end(), args.begin(), args.end());
        const test::CliRun run = test::runVelm(full);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, statement);
    }
}

TEST_F(SearchCli, QuickSearchOnTheFixture)
{
    const test::CliRun socket = onFixture({"search", "socket"});
    EXPECT_EQ(socket.status, 0) << socket.err;
    EXPECT_EQ(idsOf(socket.out), (std::vector<std::string>{"1005", "1014"}));

    const test::CliRun quote = onFixture({"search", "it's"});
    EXPECT_EQ(quote.status, 0) << quote.err;
    EXPECT_EQ(idsOf(quote.out), std::vector<std::string>{"1011"});

    const test::CliRun replyOnly = onFixture({"search", "ReadString"});
    EXPECT_EQ(idsOf(replyOnly.out), std::vector<std::string>{"1001"});

    const test::CliRun none = onFixture({"search", "no such words"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "查無資料\n");
}

// Keywords on the command line are Unicode: simplified characters find the traditional posts.
TEST_F(SearchCli, SimplifiedKeywordsFindWhatTraditionalOnesFind)
{
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"search", "資料"}, {"search", "资料"}},
        {{"search", "壓縮"}, {"search", "压缩"}},
        {{"asearch", "資料"}, {"asearch", "资料"}},
        {{"asearch", "--mode", "or", "--field", "subject", "資料庫", "壓縮"},
         {"asearch", "--mode", "or", "--field", "subject", "资料库", "压缩"}},
        {{"asearch", "--mode", "whole", "--field", "subject", "Jet 資料庫壓縮"},
         {"asearch", "--mode", "whole", "--field", "subject", "Jet 资料库压缩"}},
    };
    for (const auto &[traditional, simplified] : cases) {
        const test::CliRun expected = onFixture(traditional);
        ASSERT_EQ(expected.status, 0) << traditional.back() << ": " << expected.err;
        EXPECT_FALSE(idsOf(expected.out).empty()) << traditional.back();
        const test::CliRun run = onFixture(simplified);
        EXPECT_EQ(run.status, 0) << simplified.back() << ": " << run.err;
        EXPECT_EQ(run.out, expected.out) << simplified.back();
    }
    // Every character of the subject but the first simplified.
    EXPECT_EQ(idsOf(onFixture({"search", "资料库压缩"}).out), std::vector<std::string>{"1006"});
}

TEST_F(SearchCli, AdvancedSearchOnTheFixture)
{
    const test::CliRun treeView = onFixture({"asearch", "--mode", "whole", "--field", "subject", "TreeView"});
    EXPECT_EQ(treeView.status, 0) << treeView.err;
    EXPECT_EQ(idsOf(treeView.out), std::vector<std::string>{"1013"});
    // Printed as the forum's topic list prints the same topic.
    const test::CliRun forum = onFixture({"topics", "101"});
    const std::vector<std::string> forumRows = rowsOf(forum.out);
    ASSERT_EQ(rowsOf(treeView.out).size(), 1u);
    EXPECT_NE(std::find(forumRows.begin(), forumRows.end(), rowsOf(treeView.out)[0]), forumRows.end());

    const test::CliRun member = onFixture({"asearch", "--member", "O'Brien", "--field", "subject"});
    EXPECT_EQ(member.status, 0) << member.err;
    EXPECT_EQ(idsOf(member.out), (std::vector<std::string>{"1013", "1007"}));

    const test::CliRun quote = onFixture({"asearch", "--mode", "whole", "--field", "subject", "it's"});
    EXPECT_EQ(quote.status, 1);
    EXPECT_EQ(quote.err, "找不到相關資料\n");

    // Text compares without regard to letter case, as in the archive's original database; the statement is
    // the same as ever.
    const test::CliRun lower = onFixture({"asearch", "--mode", "whole", "--field", "subject", "treeview"});
    EXPECT_EQ(idsOf(lower.out), std::vector<std::string>{"1013"}) << lower.err;
    const test::CliRun lowerSql = onFixture({"asearch", "--mode", "whole", "--field", "subject", "--sql", "treeview"});
    EXPECT_NE(lowerSql.out.find("T_SUBJECT='treeview'"), std::string::npos) << lowerSql.out;
    const test::CliRun upper = onFixture({"asearch", "--member", "ALICE", "--field", "subject"});
    EXPECT_EQ(idsOf(upper.out), std::vector<std::string>{"1002"}) << upper.err;
    const test::CliRun golden = onFixture({"asearch", "--boxes", "1,2,3,5,6"});
    EXPECT_EQ(idsOf(golden.out), (std::vector<std::string>{"1010", "1003", "1002"})) << golden.err;

    const test::CliRun unknown = onFixture({"asearch", "--member", "O'Brien ", "socket"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "找不到會員O'Brien \n");

    const test::CliRun noBox = onFixture({"asearch", "--boxes", "", "--sql"});
    EXPECT_EQ(noBox.status, 1);
    EXPECT_EQ(noBox.err, "找不到相關資料\n");
}

// The index is built with its progress on standard error, described, used by the searches without
// changing what they print, and removed.
TEST_F(SearchCli, IndexIsBuiltDescribedAndDropped)
{
    const std::string scanned = onFixture({"search", "socket"}).out + onFixture({"asearch", "socket thread"}).out;
    EXPECT_EQ(onFixture({"index", "--status"}).out, "沒有全文索引\n");
    const test::CliRun built = onFixture({"index"});
    EXPECT_EQ(built.status, 0);
    EXPECT_NE(built.err.find("建立全文索引 100%"), std::string::npos) << built.err;
    EXPECT_EQ(built.out.rfind("全文索引完整：已索引 ", 0), 0u) << built.out;
    EXPECT_EQ(onFixture({"index", "--status"}).out, built.out);
    EXPECT_EQ(onFixture({"search", "socket"}).out + onFixture({"asearch", "socket thread"}).out, scanned);
    EXPECT_EQ(onFixture({"index", "--drop"}).out, "已移除全文索引\n");
    EXPECT_EQ(onFixture({"index", "--status"}).out, "沒有全文索引\n");
}

TEST_F(SearchCli, WrongArgumentsAreRefused)
{
    const std::vector<std::string> cases[] = {
        {"search"},
        {"search", "a", "b"},
        {"asearch", "--mode", "any"},
        {"asearch", "--field", "body"},
        {"asearch", "--date", "9"},
        {"asearch", "--boxes", "1,8"},
        {"asearch", "--boxes", "1,,2"},
        {"asearch", "--today", "2024-02-30"},
        {"asearch", "--today", "10/03/2024"},
        {"asearch", "--forum", "999"}, // no forum of the tree: not in the dialog's list
        {"asearch", "--member"},
        {"asearch", "--colour", "red"},
        {"index", "--rebuild"},
        {"index", "--status", "--drop"},
    };
    for (const auto &args : cases) {
        const test::CliRun run = onFixture(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
    }
}

} // namespace

// The last column says whether the reader has read the topic as it is now; velm only reads the reader's store.
TEST_F(SearchCli, TopicsTellTheReadersMarks)
{
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    const auto marksOf = [](const std::string &out) {
        std::vector<std::string> marks;
        for (const std::string &row : rowsOf(out))
            marks.push_back(row.substr(row.rfind('\t') + 1) + ' ' + row.substr(0, row.find('\t')));
        return marks;
    };
    const std::vector<std::string> before = marksOf(onFixture({"topics", "101"}).out);
    ASSERT_GE(before.size(), 2u);
    EXPECT_EQ(before[0].rfind("unread ", 0), 0u) << before[0];
    EXPECT_FALSE(fs::exists(ReaderStore::defaultPath()));

    const std::int64_t first = std::stoll(before[0].substr(before[0].find(' ') + 1));
    {
        Connection archive;
        archive.setConnectionText(fixture);
        archive.open();
        ReaderStore store(ReaderStore::defaultPath());
        const ArchiveKey key = *store.identify(SampleArchive(archive.handle()), archive.databasePath());
        store.markRead(key, {{first, TopicState(archive.handle(), first)->seen}});
    }
    std::vector<std::string> after = before;
    after[0] = "read " + std::to_string(first);
    EXPECT_EQ(marksOf(onFixture({"topics", "101"}).out), after);

    // A damaged store is said on standard error and left as it is: velm sets nothing aside.
    std::ofstream(ReaderStore::defaultPath(), std::ios::trunc) << "not a database";
    const test::CliRun damaged = onFixture({"topics", "101"});
    EXPECT_EQ(damaged.status, 0);
    EXPECT_EQ(marksOf(damaged.out), before);
    EXPECT_NE(damaged.err.find(ReaderStore::defaultPath()), std::string::npos) << damaged.err;
    EXPECT_EQ(fs::file_size(ReaderStore::defaultPath()), 14u);
    qputenv("XDG_DATA_HOME", savedDataHome);
}
