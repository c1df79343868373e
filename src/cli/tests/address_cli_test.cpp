// A forum address and a download server beyond ASCII (an international host name, a Chinese folder) reach the
// same places through every command, whether given on the command line or stored in the settings.
#include "cli/tests/cli_run.h"

#include "base/cp950.h"
#include "packages/tests/http_test_server.h"
#include "settings/settings.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using namespace velm;
using velm::test::CliRun;
using velm::test::runVelm;

namespace {

// 論壇 is xn--ypsv87i and 鏡像 xn--o1qz84n; 中文 is E4 B8 AD E6 96 87 in UTF-8, 下載 E4 B8 8B E8 BC 89.
constexpr const char *kForumFolder = "/%E4%B8%AD%E6%96%87/";
constexpr const char *kMirrorFolder = "/%E4%B8%8B%E8%BC%89/";

class AddressCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid() && m_dir.isValid());
        setenv("XDG_CONFIG_HOME", m_config.path().toUtf8().constData(), 1);
        m_archive = m_dir.filePath("velm.mdb").toStdString();
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", m_archive);
    }

    std::string forum() const { return m_server.base("論壇.localhost") + "中文/"; }
    std::string mirror() const { return m_server.base("鏡像.localhost") + "下載/"; }
    // The forum's address as a request carries it.
    std::string forumOnTheWire() const
    {
        const std::string ace = m_server.base("xn--ypsv87i.localhost");
        return ace.substr(0, ace.size() - 1) + kForumFolder;
    }
    static std::string hostOf(const std::string &base) { return base.substr(7, base.find('/', 7) - 7); }

    // The same addresses kept in the settings, exactly as the user typed them.
    void storeAddresses() const
    {
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        store.setValue("ForumBaseURL", QString::fromStdString(forum()));
        store.setValue("DownloadMirror1", QString::fromStdString(mirror()));
        store.setValue("DownloadMirror2", QString::fromStdString(mirror()));
        store.sync();
    }
    // A run with the addresses on the command line, and the same run with them stored.
    std::pair<CliRun, CliRun> bothWays(const std::vector<std::string> &args, const std::string &input = {})
    {
        std::vector<std::string> given{"--archive", m_archive, "--base-url", forum(), "--mirror", mirror()};
        given.insert(given.end(), args.begin(), args.end());
        const CliRun onTheCommandLine = run(given, input);
        storeAddresses();
        std::vector<std::string> plain{"--archive", m_archive};
        plain.insert(plain.end(), args.begin(), args.end());
        return {onTheCommandLine, run(plain, input)};
    }
    // The update works in the program folder: it runs as the built program from a folder of this test's own.
    CliRun run(const std::vector<std::string> &args, const std::string &input) const
    {
        if (std::find(args.begin(), args.end(), "update") != args.end())
            return velm::test::runVelmFrom(m_dir.filePath("program").toStdString(), args, input);
        return runVelm(args, input);
    }

    QTemporaryDir m_config;
    QTemporaryDir m_dir;
    std::string m_archive;
    test::HttpTestServer m_server;
};

} // namespace

TEST_F(AddressCli, ArticleLinksTheForumInItsAsciiFormAndShowsItAsWritten)
{
    const auto [given, stored] = bothWays({"article", "1003"});
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(given.out, stored.out);
    EXPECT_NE(given.out.find("<a href=" + forumOnTheWire() + "link.asp?topic_id=1003>"), std::string::npos);
    EXPECT_NE(given.out.find("原始網址:" + forum() + "topic.asp?topic_Id=1003</font></a>"), std::string::npos);

    const auto [markup, storedMarkup] = bothWays({"markup"}, "<img src=icon_a.gif border=0>");
    EXPECT_EQ(markup.out, "<img src=\"" + forumOnTheWire() + "icon_a.gif\"  border=0>");
    EXPECT_EQ(storedMarkup.out, markup.out);
}

TEST_F(AddressCli, WebSearchSendsTheForumsOwnSearchToItsAsciiAddress)
{
    const auto [given, stored] = bothWays({"websearch", "abc"});
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(given.out, stored.out);
    const std::string first = given.out.substr(0, given.out.find('\n'));
    const std::string search = forumOnTheWire() + "search.asp?MethodStr=DOIT&SearchStr=abc";
    EXPECT_NE(first.find("\t" + search + "\t" + search + "\t"), std::string::npos) << first;
}

TEST_F(AddressCli, UpdateFetchesTheListAndThePackageFromTheInternationalServers)
{
    m_server.answer(std::string(kForumFolder) + "velmpack/update.htm", test::page(toCp950("2004年06週 第六週\r\n")));
    m_server.answer(std::string(kMirrorFolder) + "2004W06.VLP", test::fileAnswer(VELM_FIXTURES "/2004W06.VLP"));

    const auto [given, stored] = bothWays({"update", "--yes"});
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_NE(given.err.find("匯入回覆文章..."), std::string::npos) << given.err;
    EXPECT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(stored.err, "您的資料已經都是最新的了!\n");

    std::vector<std::string> asked;
    for (const test::HttpRequest &r : m_server.requests())
        asked.push_back(r.header("Host") + r.target);
    const std::string list = hostOf(m_server.base("xn--ypsv87i.localhost")) + kForumFolder + "velmpack/update.htm";
    const std::string package = hostOf(m_server.base("xn--o1qz84n.localhost")) + kMirrorFolder + "2004W06.VLP";
    EXPECT_EQ(asked, (std::vector<std::string>{list, package, list}));
}
