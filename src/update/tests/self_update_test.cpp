#include "update/self_update.h"

#include "base/cp950.h"
#include "base/progress.h"
#include "packages/http_client.h"
#include "packages/tests/http_test_server.h"
#include "settings/settings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace velm;
using namespace velm::test;
namespace fs = std::filesystem;

namespace {

class CaptionLog final : public SilentProgress {
public:
    void setCaption(const std::string &cp950) override
    {
        SilentProgress::setCaption(cp950);
        captions.push_back(fromCp950(cp950));
    }
    std::vector<std::string> captions;
};

class SelfUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", config.path().toUtf8().constData(), 1);
        place = {{server.base() + "velm_download/velm_reader/", server.base() + "download/velm_reader/"},
                 folder.path().toStdString()};
        host.showHomePage = [this] { events.push_back("home page"); };
        host.runOnlineUpdate = [this] { events.push_back("online update"); };
        host.askYesNo = [this](const Big5Text &text) {
            events.push_back("question " + text.toUtf8());
            return yes;
        };
        host.showMessage = [this](const Big5Text &text) { events.push_back("message " + text.toUtf8()); };
        host.processEvents = [] {};
        host.openInstaller = [this](const std::string &path) { events.push_back("open " + path); };
        host.closeMainWindow = [this] { events.push_back("close"); };
    }
    VersionCheckOutcome check(const std::string &markup)
    {
        return RunVersionCheck(markup, place, client, progress, host);
    }
    std::string installer(const std::string &name) const { return (fs::path(place.programFolder) / name).string(); }

    QTemporaryDir config;
    QTemporaryDir folder;
    HttpTestServer server;
    HttpClient client;
    CaptionLog progress;
    SelfUpdatePlace place;
    VersionCheckHost host;
    bool yes = true;
    std::vector<std::string> events;
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST_F(SelfUpdateTest, NoNewerVersionStartsThePackageUpdateUnlessSwitchedOff)
{
    struct Case {
        const char *markup;
        const char *autoUpdate; // nullptr: no value stored
        VersionCheckOutcome outcome;
    };
    const Case cases[] = {
        {"<body><a NewVer=1.6.quorin>", nullptr, VersionCheckOutcome::UpdateStarted},
        {"<body><a NewVer=1.6>", "Y", VersionCheckOutcome::UpdateStarted},
        {"<body><a NewVer=1.10>", "n", VersionCheckOutcome::UpdateStarted},
        {"<body><a NewVer=1.6.quorin>", "N", VersionCheckOutcome::AutoUpdateOff},
        {"<body><a NewVer=0.9>", "N", VersionCheckOutcome::AutoUpdateOff},
        {"<body>no marker</body>", "Y", VersionCheckOutcome::NoMarker},
        {"<body>NewVer=1.7", nullptr, VersionCheckOutcome::NoMarker},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.markup);
        fs::remove(settingsFilePath(kAppKey));
        if (c.autoUpdate)
            WriteSetting(kAppKey, "AutoUpdate", Big5Text(c.autoUpdate));
        events.clear();
        EXPECT_EQ(check(c.markup), c.outcome);
        EXPECT_EQ(events, c.outcome == VersionCheckOutcome::UpdateStarted ? std::vector<std::string>{"online update"}
                                                                          : std::vector<std::string>{});
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(progress.captions.empty());
}

TEST_F(SelfUpdateTest, InstallerComesFromTheFirstServerThatHasIt)
{
    server.answer("/download/velm_reader/VELM_V1_7.EXE", page("installer bytes", "application/octet-stream"));
    std::ofstream(installer("VELM_V1_7.EXE")) << "an older download";
    EXPECT_EQ(check("<body><font NewVer=1.7>"), VersionCheckOutcome::InstallerStarted);
    EXPECT_EQ(server.paths(), (std::vector<std::string>{"/velm_download/velm_reader/VELM_V1_7.EXE",
                                                        "/download/velm_reader/VELM_V1_7.EXE"}));
    EXPECT_EQ(readFile(installer("VELM_V1_7.EXE")), "installer bytes");
    EXPECT_EQ(progress.captions, (std::vector<std::string>{"下載新版程式中...", "連線主機中...1", "連線主機中...2"}));
    EXPECT_FALSE(progress.visible());
    EXPECT_EQ(events, (std::vector<std::string>{"home page", "question 已經有新版Ver1.7的程式，現在更新嗎?",
                                                "message 下載完成,現在開始安裝!", "open " + installer("VELM_V1_7.EXE"),
                                                "close"}));
}

TEST_F(SelfUpdateTest, NoServerHasItSaysDownloadFailed)
{
    std::ofstream(installer("VELM_V2_0.EXE")) << "an older download";
    EXPECT_EQ(check("<body><b NewVer=2.0>"), VersionCheckOutcome::DownloadFailed);
    EXPECT_EQ(server.paths().size(), 2u);
    EXPECT_EQ(events.back(), "message 下載失敗!");
    EXPECT_EQ(std::count(events.begin(), events.end(), "close"), 0);
    EXPECT_FALSE(fs::exists(installer("VELM_V2_0.EXE")));
    EXPECT_FALSE(progress.visible());
}
