#include "cli.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace velm;

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun velm(const std::vector<std::string> &args, const std::string &input = {})
{
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = runCli(args, in, out, err);
    return {status, out.str(), err.str()};
}

// Runs the built program itself, for what only a process shows: exit status and standard error.
CliRun velmProcess(const std::string &args)
{
    const std::string errFile = fs::temp_directory_path() / ("velm-cli-err-" + std::to_string(::getpid()));
    const std::string command = std::string(VELM_CLI_PATH) + " " + args + " 2>" + errFile;
    CliRun run{0, {}, {}};
    FILE *pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        run.out.append(buffer.data(), n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(errFile);
    return run;
}

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

    CliRun first = velm({"--archive", copy, "tree"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, kFixtureTree);
    const std::string sibling = dir.filePath("archive-small.sqlite").toStdString();
    ASSERT_TRUE(fs::exists(sibling));
    const auto converted = fs::last_write_time(sibling);

    // The second run opens the converted file instead of converting again.
    fs::remove(copy);
    CliRun second = velm({"--archive", copy, "tree"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, kFixtureTree);
    EXPECT_EQ(fs::last_write_time(sibling), converted);
}

TEST(Cli, HelpVersionAndUsage)
{
    EXPECT_EQ(velm({"--version"}).out, "1.6.quorin\n");
    EXPECT_NE(velm({"--help"}).out.find("tree"), std::string::npos);
    EXPECT_EQ(velm({}).status, 2);
    EXPECT_EQ(velm({"no-such-command"}).status, 2);
    EXPECT_EQ(velm({"--archive"}).status, 2);
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
        const CliRun run = velmProcess("--archive '" + path + "' tree");
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
