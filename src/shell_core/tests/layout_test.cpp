#include "settings/settings.h"
#include "shell_core/layout.h"
#include "shell_core/startup.h"

#include "base/cp950.h"
#include "base/error.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

using namespace velm;

namespace {

struct Reads {
    std::map<std::string, std::string> stored;
    std::vector<std::string> asked;
    SettingReader reader()
    {
        return [this](const char *name) {
            asked.emplace_back(name);
            auto it = stored.find(name);
            return it == stored.end() ? std::string() : it->second;
        };
    }
};

TEST(Layout, FirstRunGivesTheDesignLayoutMaximized)
{
    Reads reads;
    const WindowLayout layout = ReadLayout(reads.reader());
    EXPECT_TRUE(layout.maximized);
    EXPECT_EQ(layout.panel4Width, 168);
    EXPECT_EQ(layout.panel3Height, 176);
    EXPECT_EQ(layout.fontSize, 9);
    EXPECT_EQ(layout.fontName, toCp950("細明體"));
    // Maximized: the four bounds are not read.
    EXPECT_EQ(reads.asked, (std::vector<std::string>{"DefaultFontSize", "DefaultFontName", "WindowMax", "Panel3Height",
                                                     "Panel4Width"}));
}

TEST(Layout, ReadingRules)
{
    struct Case {
        std::map<std::string, std::string> stored;
        WindowLayout expected;
    };
    auto design = [](auto change) {
        WindowLayout l;
        l.fontName = toCp950("細明體");
        change(l);
        return l;
    };
    const Case cases[] = {
        {{{"WindowMax", "N"}, {"WindowLeft", "x"}}, design([](WindowLayout &l) { l.maximized = false; })},
        {{{"WindowMax", "N"},
          {"WindowLeft", "-20"},
          {"WindowTop", "40"},
          {"WindowWidth", "800"},
          {"WindowHeight", "600"}},
         design([](WindowLayout &l) {
             l.maximized = false;
             l.left = -20;
             l.top = 40;
             l.width = 800;
             l.height = 600;
         })},
        {{{"WindowMax", "y"}}, design([](WindowLayout &l) { l.maximized = false; })},
        {{{"WindowMax", "Y"}, {"WindowLeft", "5"}}, design([](WindowLayout &) {})},
        {{{"Panel3Height", "0"}, {"Panel4Width", "-5"}}, design([](WindowLayout &l) {
             l.panel3Height = 1;
             l.panel4Width = 1;
         })},
        {{{"Panel3Height", "12px"}, {"Panel4Width", " 90"}}, design([](WindowLayout &) {})},
        {{{"Panel3Height", "250"}, {"Panel4Width", "300"}}, design([](WindowLayout &l) {
             l.panel3Height = 250;
             l.panel4Width = 300;
         })},
        {{{"DefaultFontSize", "12"}, {"DefaultFontName", "Noto Sans"}}, design([](WindowLayout &l) {
             l.fontSize = 12;
             l.fontName = "Noto Sans";
         })},
        // A size that is no number, and a size no font can have, leave the design size.
        {{{"DefaultFontSize", "big"}}, design([](WindowLayout &) {})},
        {{{"DefaultFontSize", "0"}}, design([](WindowLayout &) {})},
        // Sizes no reader can be used at are held to the nearer end.
        {{{"DefaultFontSize", "100000"}}, design([](WindowLayout &l) { l.fontSize = kMaxFontSize; })},
        {{{"DefaultFontSize", "2"}}, design([](WindowLayout &l) { l.fontSize = kMinFontSize; })},
        // A window of no size leaves the design size.
        {{{"WindowMax", "N"}, {"WindowWidth", "0"}, {"WindowHeight", "-300"}},
         design([](WindowLayout &l) { l.maximized = false; })},
    };
    for (const Case &c : cases) {
        Reads reads{c.stored, {}};
        const WindowLayout got = ReadLayout(reads.reader());
        EXPECT_EQ(got.maximized, c.expected.maximized);
        EXPECT_EQ(got.left, c.expected.left);
        EXPECT_EQ(got.top, c.expected.top);
        EXPECT_EQ(got.width, c.expected.width);
        EXPECT_EQ(got.height, c.expected.height);
        EXPECT_EQ(got.panel3Height, c.expected.panel3Height);
        EXPECT_EQ(got.panel4Width, c.expected.panel4Width);
        EXPECT_EQ(got.fontSize, c.expected.fontSize);
        EXPECT_EQ(got.fontName, c.expected.fontName);
    }
}

TEST(Layout, FitsOntoTheScreen)
{
    const QRect screen(0, 0, 800, 600);
    struct Case {
        const char *what;
        WindowLayout stored;
        WindowLayout expected;
    };
    auto layout = [](int left, int top, int width, int height, int panel3, int panel4) {
        WindowLayout l;
        l.left = left;
        l.top = top;
        l.width = width;
        l.height = height;
        l.panel3Height = panel3;
        l.panel4Width = panel4;
        return l;
    };
    const Case cases[] = {
        {"fits", layout(10, 20, 300, 200, 176, 168), layout(10, 20, 300, 200, 176, 168)},
        {"past the right and bottom edges", layout(700, 500, 300, 200, 176, 168), layout(500, 400, 300, 200, 176, 168)},
        {"past the left and top edges", layout(-20, -5, 300, 200, 176, 168), layout(0, 0, 300, 200, 176, 168)},
        {"larger than the screen", layout(201, 131, 20000, 20000, 5000, 5000), layout(0, 0, 800, 600, 600, 800)},
        {"largest numbers", layout(INT_MAX, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX),
         layout(0, 0, 800, 600, 600, 800)},
        {"no size", layout(0, 0, 0, -4, 0, -1), layout(0, 0, 1, 1, 1, 1)},
    };
    for (const Case &c : cases) {
        WindowLayout got = c.stored;
        FitLayoutToScreen(got, screen);
        EXPECT_EQ(QRect(got.left, got.top, got.width, got.height),
                  QRect(c.expected.left, c.expected.top, c.expected.width, c.expected.height))
            << c.what;
        EXPECT_EQ(got.panel3Height, c.expected.panel3Height) << c.what;
        EXPECT_EQ(got.panel4Width, c.expected.panel4Width) << c.what;
    }
    // A screen that does not start at the origin (a second monitor, a panel on the left).
    WindowLayout beside = layout(0, 0, 300, 200, 176, 168);
    FitLayoutToScreen(beside, QRect(1920, 30, 1280, 994));
    EXPECT_EQ(QRect(beside.left, beside.top, beside.width, beside.height), QRect(1920, 30, 300, 200));
}

TEST(Layout, WritesTheSevenValuesInOrder)
{
    WindowLayout layout;
    layout.maximized = false;
    layout.left = 10;
    std::vector<std::pair<std::string, std::string>> written;
    WriteLayout(layout, [&](const char *name, const std::string &value) { written.emplace_back(name, value); });
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"WindowMax", "N"},      {"WindowLeft", "10"},    {"WindowTop", "131"},  {"WindowWidth", "662"},
        {"WindowHeight", "502"}, {"Panel3Height", "176"}, {"Panel4Width", "168"}};
    EXPECT_EQ(written, expected);
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setenv("XDG_CONFIG_HOME", dir.path().toUtf8().constData(), 1);
    }
    QTemporaryDir dir;
};

TEST_F(SettingsTest, ValuesRoundTripAndAbsentOnesAreEmpty)
{
    EXPECT_EQ(ReadSetting(kAppKey, "WindowMax").bytes(), "");
    WriteSetting(kAppKey, "DefaultFontName", Big5Text::fromUtf8("細明體"));
    WriteSetting(kAppKey, "WindowLeft", Big5Text("-12"));
    WriteSetting(kAppKey, "Note", Big5Text("a, b")); // a comma must not turn the value into a list
    EXPECT_EQ(ReadSetting(kAppKey, "DefaultFontName").bytes(), toCp950("細明體"));
    EXPECT_EQ(ReadSetting(kAppKey, "WindowLeft").bytes(), "-12");
    EXPECT_EQ(ReadSetting(kAppKey, "Note").bytes(), "a, b");
    EXPECT_EQ(ReadSetting(kAppKey, "Panel4Width").bytes(), "");
    EXPECT_TRUE(std::filesystem::exists(dir.filePath("VELM_Reader.ini").toStdString()));
}

TEST_F(SettingsTest, ValuesThatAreNoTextReadAsAbsent)
{
    std::ofstream(dir.filePath("VELM_Reader.ini").toStdString())
        << "[General]\nWindowTop=1, 2\nWindowLeft=@Rect(1 2 3 4)\nDefaultFontName=@ByteArray(Arial)\n"
           "WindowMax=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x3XYZ)\nPanel3Height=@Variant(junk)\n"
           "DefaultFontSize=@Size(1 2)\nPanel4Width=120\n";
    for (const char *name :
         {"WindowTop", "WindowLeft", "DefaultFontName", "WindowMax", "Panel3Height", "DefaultFontSize"})
        EXPECT_EQ(ReadSetting(kAppKey, name).bytes(), "") << name;
    EXPECT_EQ(ReadSetting(kAppKey, "Panel4Width").bytes(), "120"); // the plain values beside them still read
}

TEST_F(SettingsTest, UnwritableStoreIsAnErrorNamingTheValue)
{
    const std::string ini = dir.filePath("VELM_Reader.ini").toStdString();
    std::filesystem::create_directory(ini); // a folder where the file should be
    EXPECT_EQ(ReadSetting(kAppKey, "WindowMax").bytes(), "");
    try {
        WriteSetting(kAppKey, "WindowMax", Big5Text("Y"));
        FAIL();
    } catch (const Error &e) {
        EXPECT_NE(e.utf8().find("WindowMax"), std::string::npos);
    }
}

TEST_F(SettingsTest, ServerAddressesAndTheirOverrides)
{
    EXPECT_EQ(ForumBaseURL().rfind("http://", 0), 0u);
    EXPECT_EQ(ForumBaseURL().back(), '/');
    const auto mirrors = DownloadMirrorList();
    ASSERT_EQ(mirrors.size(), 2u);
    EXPECT_NE(mirrors[0].find("velm_download/velm_reader/"), std::string::npos);
    EXPECT_NE(mirrors[1].find("/download/velm_reader/"), std::string::npos);
    EXPECT_EQ(mirrors[1].find("velm_download"), std::string::npos);

    WriteSetting(kAppKey, "ForumBaseURL", Big5Text("http://127.0.0.1:8080"));
    WriteSetting(kAppKey, "DownloadMirror2", Big5Text("http://127.0.0.1:8081/pkg/"));
    EXPECT_EQ(ForumBaseURL(), "http://127.0.0.1:8080/");
    EXPECT_EQ(DownloadMirrorList()[1], "http://127.0.0.1:8081/pkg/");
}

TEST(Layout, ArticleZoomReadsOnlyFiniteNumbersInItsRange)
{
    EXPECT_EQ(parseArticleZoom("1.25"), 1.25);
    EXPECT_EQ(parseArticleZoom("2"), 2.0);
    EXPECT_EQ(parseArticleZoom("0.1"), kMinArticleZoom);
    EXPECT_EQ(parseArticleZoom("1e300"), std::nullopt); // no exponent form is written
    EXPECT_EQ(parseArticleZoom("400"), kMaxArticleZoom);
    for (const char *bad : {"", "0", "-1", "abc", "1.5x", " 1.5", "nan", "inf", "-inf", "1,5", "@Variant(x)"})
        EXPECT_EQ(parseArticleZoom(bad), std::nullopt) << bad;
    // What is written reads back.
    for (double factor : {0.25, 0.33, 1.0, 1.1, 5.0})
        EXPECT_EQ(parseArticleZoom(formatArticleZoom(factor)), factor);
}

TEST(Layout, ArticleZoomSteps)
{
    EXPECT_EQ(ArticleZoomStep(1.0, 1), 1.1);
    EXPECT_EQ(ArticleZoomStep(1.0, -1), 0.9);
    EXPECT_EQ(ArticleZoomStep(1.0, 3), 1.5);
    EXPECT_EQ(ArticleZoomStep(1.0, 0), 1.0);
    // From between two steps to the next one that way.
    EXPECT_EQ(ArticleZoomStep(1.05, 1), 1.1);
    EXPECT_EQ(ArticleZoomStep(1.05, -1), 1.0);
    // The ends hold.
    EXPECT_EQ(ArticleZoomStep(5.0, 1), 5.0);
    EXPECT_EQ(ArticleZoomStep(0.25, -1), 0.25);
    EXPECT_EQ(ArticleZoomStep(1.0, 100), 5.0);
    EXPECT_EQ(ArticleZoomStep(9.0, -1), 4.0);
}

TEST(Startup, ShuffleIsUniform)
{
    std::mt19937 random(12345);
    std::map<std::vector<std::string>, int> seen;
    constexpr int kRuns = 60000;
    for (int i = 0; i < kRuns; ++i) {
        std::vector<std::string> list = {"a", "b", "c"};
        ShuffleList(list, random);
        ++seen[list];
    }
    ASSERT_EQ(seen.size(), 6u);
    for (const auto &[order, count] : seen)
        EXPECT_NEAR(count, kRuns / 6, kRuns / 6 / 10);
}

TEST(Startup, ArgumentsAndConnectionText)
{
    EXPECT_EQ(joinArguments({"/home/u/My", "Packages", "2004W06.VLP"}), "/home/u/My Packages 2004W06.VLP");
    EXPECT_EQ(joinArguments({"/tmp/a.VLP"}), "/tmp/a.VLP");
    EXPECT_EQ(joinArguments({}), "");
    EXPECT_EQ(startupConnectionText("/opt/velm/"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/velm//velm.mdb;Persist Security Info=False");
}

} // namespace
