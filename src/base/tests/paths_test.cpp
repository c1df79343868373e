#include "base/error.h"
#include "base/paths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <latch>
#include <sstream>
#include <thread>
#include <vector>

using namespace velm;
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const fs::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> namesIn(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A program folder and, elsewhere, an installed demo archive of some size, read-only as an install has it.
class DemoArchive : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        fs::create_directories(m_folder);
        fs::create_directories(m_share);
        for (unsigned i = 0; i < 300000; ++i)
            m_content += static_cast<char>(i * 7919u % 251u);
        writeAll(m_demo, m_content);
        fs::permissions(m_demo, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }

    std::string folder() const { return m_folder.string() + kPathSeparator; }

    QTemporaryDir m_dir;
    const fs::path m_folder = fs::path(m_dir.path().toStdString()) / "program";
    const fs::path m_share = fs::path(m_dir.path().toStdString()) / "share";
    const fs::path m_demo = m_share / "velm.sqlite";
    const fs::path m_archive = m_folder / "velm.sqlite";
    std::string m_content;
};

} // namespace

TEST_F(DemoArchive, AnEmptyProgramFolderGetsAWritableCopy)
{
    // A copy that a program killed half-way left behind goes as well.
    const fs::path orphan = m_folder / "velm.sqlite.demo-999999-0.tmp";
    writeAll(orphan, "half");

    EXPECT_TRUE(provideDemoArchive(folder(), m_demo.string()));
    EXPECT_EQ(readAll(m_archive), m_content);
    EXPECT_NE(fs::status(m_archive).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(namesIn(m_folder), std::vector<std::string>{"velm.sqlite"});
    EXPECT_EQ(readAll(m_demo), m_content) << "the installed demo is only read";

    // From then on the folder has its archive, and the user's changes to it stay.
    writeAll(m_archive, "the user's archive");
    EXPECT_FALSE(provideDemoArchive(folder(), m_demo.string()));
    EXPECT_EQ(readAll(m_archive), "the user's archive");
}

TEST_F(DemoArchive, AnyArchiveInTheFolderIsLeftAlone)
{
    writeAll(m_folder / "velm.mdb", "an Access archive, converted on its first open");
    EXPECT_FALSE(provideDemoArchive(folder(), m_demo.string()));
    EXPECT_EQ(namesIn(m_folder), std::vector<std::string>{"velm.mdb"});

    fs::remove(m_folder / "velm.mdb");
    writeAll(m_archive, "converted before");
    EXPECT_FALSE(provideDemoArchive(folder(), m_demo.string()));
    EXPECT_EQ(readAll(m_archive), "converted before");
}

TEST_F(DemoArchive, WithoutADemoNothingHappens)
{
    EXPECT_FALSE(provideDemoArchive(folder(), (m_share / "missing.sqlite").string()));
    EXPECT_TRUE(namesIn(m_folder).empty());

    // A build has no installed demo beside its program folder: its own demo is in the program folder.
    EXPECT_FALSE(fs::exists(installedDataFolder() + "velm.sqlite"));
    EXPECT_FALSE(provideDemoArchive(folder()));
    EXPECT_TRUE(namesIn(m_folder).empty());
}

TEST_F(DemoArchive, AFolderThatCannotTakeTheCopyIsAnErrorNamingIt)
{
    const fs::path missing = m_folder / "gone";
    try {
        provideDemoArchive(missing.string() + kPathSeparator, m_demo.string());
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_NE(e.utf8().find(missing.string()), std::string::npos) << e.utf8();
    }
}

TEST_F(DemoArchive, ProgramsStartingTogetherMakeOneCopy)
{
    constexpr int kPrograms = 8;
    std::latch start(kPrograms);
    std::atomic<int> copies{0};
    std::atomic<int> errors{0};
    std::vector<std::thread> programs;
    for (int i = 0; i < kPrograms; ++i)
        programs.emplace_back([&] {
            start.arrive_and_wait();
            try {
                if (provideDemoArchive(folder(), m_demo.string()))
                    ++copies;
            } catch (const Error &e) {
                ADD_FAILURE() << e.utf8();
                ++errors;
            }
        });
    for (std::thread &program : programs)
        program.join();
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(readAll(m_archive), m_content);
    EXPECT_EQ(namesIn(m_folder), std::vector<std::string>{"velm.sqlite"}) << "no work file is left";
}

TEST(InstalledData, IsTheShareFolderOfTheInstallAboveTheProgramFolder)
{
    const fs::path programs = fs::path(executablePath()).parent_path();
    EXPECT_EQ(installedDataFolder(), (programs.parent_path() / "share" / "velm-reader").string() + kPathSeparator);
}
