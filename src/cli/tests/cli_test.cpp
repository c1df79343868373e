#include "cli/tests/cli_run.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace velm;

namespace {

int lines(const std::string &text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

constexpr const char *kFixtureTree = R"(Velm討論區
  Delphi 程式設計
    網路與通訊
      Socket 網路程式 [104]
    資料庫
      ADO 與 Jet
        ADO/Jet 疑難雜症 [105]
      資料庫程式設計 [103]
    Delphi 新手入門 [101]
    Delphi 進階技巧 [102]
  C++ Builder
    BCB 一般討論 [106]
  Linux/Kylix
    Kylix 討論 [107]
  元件與資源
    VCL 元件分享 [108]
  綜合討論
    站務公告 [109]
  測試區 [110]
)";

TEST(Cli, TreeOfTheFixtureArchiveAndItsConvertedForm)
{
    QTemporaryDir dir;
    const std::string copy = dir.filePath("archive-small.mdb").toStdString();
    fs::copy_file(VELM_FIXTURES "/archive-small.mdb", copy);

    test::CliRun first = test::runVelm({"--archive", copy, "tree"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, kFixtureTree);
    const std::string sibling = dir.filePath("archive-small.sqlite").toStdString();
    ASSERT_TRUE(fs::exists(sibling));
    const auto converted = fs::last_write_time(sibling);

    // The second run opens the converted file instead of converting again.
    fs::remove(copy);
    test::CliRun second = test::runVelm({"--archive", copy, "tree"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, kFixtureTree);
    EXPECT_EQ(fs::last_write_time(sibling), converted);
}

TEST(Cli, HelpVersionAndUsage)
{
    EXPECT_EQ(test::runVelm({"--version"}).out, "1.6.quorin\n");
    EXPECT_NE(test::runVelm({"--help"}).out.find("tree"), std::string::npos);
    EXPECT_EQ(test::runVelm({}).status, 2);
    EXPECT_EQ(test::runVelm({"no-such-command"}).status, 2);
    EXPECT_EQ(test::runVelm({"--archive"}).status, 2);
}

TEST(Cli, BadArchivesGiveOneLineAndStatusOne)
{
    QTemporaryDir dir;
    const std::string text = dir.filePath("notes.mdb").toStdString();
    std::ofstream(text) << "not a database\n";
    const std::string cut = dir.filePath("cut.mdb").toStdString();
    fs::copy_file(VELM_FIXTURES "/archive-small.mdb", cut);
    fs::resize_file(cut, fs::file_size(cut) / 2);

    for (const std::string &path : {dir.filePath("missing.mdb").toStdString(), text, cut}) {
        const test::CliRun run = test::runVelmProcess("--archive '" + path + "' tree");
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_EQ(run.out, "") << path;
        EXPECT_EQ(lines(run.err), 1) << run.err;
        EXPECT_NE(run.err.find(fs::path(path).filename().string()), std::string::npos) << run.err;
    }
    // Nothing converted was left beside them.
    for (const auto &entry : fs::directory_iterator(dir.path().toStdString()))
        EXPECT_NE(entry.path().extension(), ".sqlite") << entry.path();
}

} // namespace

TEST(Cli, AHugeListIsPrintedAsItIsReadInLittleMemory)
{
    // 500,000 topics in one forum, each with a body that a list never shows.
    QTemporaryDir dir;
    const std::string mdb = dir.filePath("velm.mdb").toStdString();
    fs::copy_file(VELM_FIXTURES "/archive-small.mdb", mdb);
    ASSERT_EQ(test::runVelm({"--archive", mdb, "tree"}).status, 0);
    const std::string archive = dir.filePath("velm.sqlite").toStdString();
    sqlite3 *db = nullptr;
    sqlite3_open(archive.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db,
                           "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 499999) "
                           "INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, T_SUBJECT, T_MESSAGE, T_AUTHOR, T_LAST_POST, "
                           "T_GOOD) SELECT 100000 + i, 120, 'topic ' || i, printf('%.*c', 300, 'x'), i % 9, "
                           "printf('2004%010d', i), 'N' FROM n",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    const std::string out = dir.filePath("out.txt").toStdString();
    const test::MeasuredRun run = test::runMeasured({"--archive", archive, "topics", "120"}, out);
    ASSERT_EQ(run.status, 0) << run.err;
    std::ifstream printed(out);
    std::string first;
    std::getline(printed, first);
    EXPECT_EQ(first, "599999\ttopic 499999\t\t老王\t\t2004/00/00\tN\tunread");
    long long rows = 1;
    for (std::string line; std::getline(printed, line);)
        ++rows;
    EXPECT_EQ(rows, 500000);
    // The bodies alone are 150 MB; the rows as the list shows them over a hundred megabytes.
    EXPECT_LT(run.peakKb, 64 * 1024) << "peak kilobytes";
}
