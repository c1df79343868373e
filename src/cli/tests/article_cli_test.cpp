#include "base/cp950.h"
#include "cli/tests/cli_run.h"
#include "settings/settings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;
using namespace velm;

namespace {

class ArticleCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_archive = m_dir.filePath("archive-small.mdb").toStdString();
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", m_archive);
        // Settings go to this test's own folder, never to the user's.
        setenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8().constData(), 1);
    }

    QTemporaryDir m_dir;
    std::string m_archive;
};

TEST_F(ArticleCli, PageAsUtf8WithItsLineEndsOnTheOptionsOrStoredAddress)
{
    const test::CliRun run =
        test::runVelm({"--archive", m_archive, "--base-url", "http://velm.example/", "article", "1002"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("<html>\r\n<META http-equiv=Content-Type content=\"text/html; charset=utf-8\">\r\n"
                           "<style>"),
              std::string::npos);
    EXPECT_NE(
        run.out.find(
            "</style>\r\n<font size=2 color=blue>黃金文章</font>　<a href=http://velm.example/link.asp?topic_id=1002>"),
        std::string::npos);
    EXPECT_EQ(run.out.substr(run.out.size() - 11), "</html>\r\n\r\n");

    // --output writes the same page to a file, and nothing to standard output.
    const std::string saved = m_dir.filePath("saved.html").toStdString();
    const test::CliRun written = test::runVelm(
        {"--archive", m_archive, "--base-url", "http://velm.example/", "article", "--output", saved, "1002"});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    std::ifstream file(saved, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), run.out);

    WriteSetting(kAppKey, "ForumBaseURL", Big5Text("http://stored.example/"));
    const test::CliRun stored = test::runVelm({"--archive", m_archive, "article", "1003"});
    EXPECT_NE(stored.out.find("<a href=http://stored.example/link.asp?topic_id=1003>"), std::string::npos);
}

TEST_F(ArticleCli, MissingTopicWritesOneErrorLineAndNothingElse)
{
    const test::CliRun missing = test::runVelm({"--archive", m_archive, "article", "1005"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;

    EXPECT_EQ(test::runVelm({"--archive", m_archive, "article", "10x"}).status, 2);
    EXPECT_EQ(test::runVelm({"--archive", m_archive, "article"}).status, 2);
    EXPECT_EQ(test::runVelm({"--archive", m_archive, "article", "1002", "--output"}).status, 2);
    // A folder in the way: the page written beside it cannot take its place and is removed.
    const std::string unwritable = m_dir.filePath("a-folder").toStdString();
    fs::create_directory(unwritable);
    const test::CliRun failed = test::runVelm({"--archive", m_archive, "article", "--output", unwritable, "1002"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find(unwritable), std::string::npos) << failed.err;
    for (const auto &entry : fs::directory_iterator(m_dir.path().toStdString()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(ArticleCli, MarkupFromStandardInput)
{
    const test::CliRun plain = test::runVelm({"--base-url", "http://velm.example/", "markup"},
                                             "[url=http://srv]A[/url]\r\n<img src=icon_a.gif border=0>\r\n\r\n");
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "<a href=http://srv>A</a><br><img src=\"http://velm.example/icon_a.gif\"  border=0>");

    // 连接 in GB becomes 連接 in Big5 only with code 1.
    const std::string gb = "\xC1\xAC\xBD\xD3";
    EXPECT_EQ(test::runVelm({"markup", "--code", "1"}, gb).out, toCp950("連接"));
    EXPECT_EQ(test::runVelm({"markup", "--code", "0"}, gb).out, gb);
    EXPECT_EQ(test::runVelm({"markup"}, gb).out, gb);

    for (const std::vector<std::string> &wrong :
         {std::vector<std::string>{"markup", "--code"}, {"markup", "--code", "x"}, {"markup", "extra"}})
        EXPECT_EQ(test::runVelm(wrong).status, 2);
}

} // namespace
