#include "cli/tests/cli_run.h"

#include "base/cp950.h"
#include "packages/tests/http_test_server.h"

#include <QTemporaryDir>

#include "sqlite/testing/first_value.h"
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace velm;
using velm::test::CliRun;
using velm::test::runVelm;
using velm::test::runVelmProcess;

using velm::test::firstValue;

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class NetworkCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", config.path().toUtf8().constData(), 1);
        archive = dir.filePath("velm.mdb").toStdString();
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", archive);
    }
    std::string file(const std::string &name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
    std::vector<std::string> updateArgs(std::vector<std::string> tail) const
    {
        std::vector<std::string> args{
            "--archive",           archive,    "--base-url",           server.base(), "--mirror",
            server.base() + "one", "--mirror", server.base() + "two/", "update"};
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    }
    // The update works in the program folder, where its last package stays until the next run: it runs as
    // the built program from a folder of this test's own.
    CliRun runUpdate(const std::vector<std::string> &args, const std::string &input = {}) const
    {
        return velm::test::runVelmFrom(file("program"), args, input);
    }
    std::string records() const
    {
        return firstValue(dir.filePath("velm.sqlite").toStdString(),
                          "select group_concat(UPD_TITLE, '|') from UPDATELOG where UPD_DATE > '2004/03'");
    }

    QTemporaryDir config;
    QTemporaryDir dir;
    std::string archive;
    test::HttpTestServer server;
};

} // namespace

TEST_F(NetworkCli, FetchWritesTheFileOnlyOnSuccess)
{
    server.answer("/velmpack/demo.html", test::page("<body NewVer=1.7>"));
    const CliRun ok = runVelm({"fetch", server.base() + "velmpack/demo.html", file("demo.html")});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(readFile(file("demo.html")), "<body NewVer=1.7>");

    const CliRun missing = runVelm({"fetch", server.base() + "nothing.html", file("nothing.html")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("404"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(file("nothing.html")));
    EXPECT_EQ(runVelm({"fetch", server.base()}).status, 2);

    const CliRun process = runVelmProcess("fetch " + server.base() + "nothing.html " + file("nothing.html"));
    EXPECT_EQ(process.status, 1);
}

TEST_F(NetworkCli, UpdateAsksOnTheTerminalAndImportsFromTheGivenMirrors)
{
    server.answer("/velmpack/update.htm", test::page(toCp950("2004年06週 第六週\r\n2004年05週\r\n")));
    server.answer("/two/2004W06.VLP", test::fileAnswer(VELM_FIXTURES "/2004W06.VLP"));

    const CliRun declined = runUpdate(updateArgs({}), "n\n");
    EXPECT_EQ(declined.status, 0) << declined.err;
    EXPECT_EQ(declined.err, "找到補充包檔案總數1個，現在更新嗎? [y/N] ");
    EXPECT_EQ(server.count("/one/2004W06.VLP"), 0);

    const CliRun accepted = runUpdate(updateArgs({}), "y\n");
    EXPECT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_EQ(accepted.err, "找到補充包檔案總數1個，現在更新嗎? [y/N] 匯入會員資料...\n匯入目錄資料...\n"
                            "匯入討論區資料...\n匯入主題文章...\n匯入回覆文章...\n");
    EXPECT_EQ(server.paths(), (std::vector<std::string>{"/velmpack/update.htm", "/velmpack/update.htm",
                                                        "/one/2004W06.VLP", "/two/2004W06.VLP"}));
    EXPECT_EQ(records(), "2004年06週 第六週");

    const CliRun upToDate = runUpdate(updateArgs({"--yes"}));
    EXPECT_EQ(upToDate.status, 0);
    EXPECT_EQ(upToDate.err, "您的資料已經都是最新的了!\n");
    EXPECT_EQ(runUpdate(updateArgs({"--now"})).status, 2);
}

TEST_F(NetworkCli, UpdateFailuresShowInTheExitStatus)
{
    server.answer("/velmpack/update.htm", test::page(toCp950("2004年08週\n")));
    const CliRun unfetched = runUpdate(updateArgs({"--yes"}));
    EXPECT_EQ(unfetched.status, 1);
    EXPECT_NE(unfetched.err.find("找到補充包檔案總數1個，現在更新嗎? y\n"), std::string::npos) << unfetched.err;
    EXPECT_NE(unfetched.err.find("1 of 1"), std::string::npos) << unfetched.err;
    EXPECT_EQ(records(), "<null>");

    const CliRun noList = runUpdate({"--archive", archive, "--base-url", "http://127.0.0.1:1", "update", "--yes"});
    EXPECT_EQ(noList.status, 1);
    EXPECT_NE(noList.err.find("http://127.0.0.1:1/"), std::string::npos) << noList.err;
}

TEST_F(NetworkCli, AnUpdateListOverItsLimitIsRefusedAsItArrives)
{
    // Far beyond the limit, and sent without a length: only the bytes themselves show it.
    test::HttpAnswer huge;
    huge.patternLength = 256ULL << 20;
    huge.declareLength = false;
    server.answer("/velmpack/update.htm", huge);
    ASSERT_EQ(runUpdate({"--archive", archive, "tree"}).status, 0); // converts the archive, and makes the copy
    const test::MeasuredRun run = test::runMeasured(updateArgs({"--yes"}), "/dev/null", file("program/velm"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("傳輸中斷：伺服器傳來的內容超過 1 MB 的上限"), std::string::npos) << run.err;
    EXPECT_LT(run.peakKb, 64 * 1024) << "peak kilobytes";
    EXPECT_FALSE(fs::exists(file("program/update.htm")));
}

TEST_F(NetworkCli, CheckVersionOfASavedPage)
{
    struct Case {
        const char *page;
        const char *out;
    };
    const Case cases[] = {
        {"<html><body><a NewVer=1.7>new</a></body></html>", "1.7\tnewer\n"},
        {"<html><body><a NewVer=10.0>new</a></body></html>", "10.0\tnewer\n"},
        {"<html><body><a NewVer=1.10>", "1.10\tnot newer\n"},
        {"<html><body><a NewVer=1.6.quorin>", "1.6.quorin\tnot newer\n"},
        {"<html><body>nothing</body></html>", "no marker\n"},
    };
    for (const Case &c : cases) {
        std::ofstream(file("demo.html"), std::ios::binary | std::ios::trunc) << c.page;
        const CliRun run = runVelm({"check-version", file("demo.html")});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.out) << c.page;
    }
    EXPECT_EQ(runVelm({"check-version", file("missing.html")}).status, 1);
}
