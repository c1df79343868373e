#include "shell_core/file_association.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;
using namespace velm;

namespace {

std::string readText(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const fs::path &path, const std::string &text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string lineStarting(const std::string &text, const std::string &prefix)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(prefix))
            return line;
    return {};
}

// The tools run in the background of an application, as in the reader; generous for a loaded machine.
constexpr int kRefreshWaitMs = 60000;

std::unique_ptr<QCoreApplication> makeApplication()
{
    static int argc = 1;
    static char name[] = "file_association_tests";
    static char *argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

// Redirected XDG folders and a PATH holding stand-ins for the two refresh tools, which log their calls.
class FileAssociation : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    fs::path m_data, m_config, m_bin, m_log;
    std::string m_savedPath;
    std::unique_ptr<QCoreApplication> m_application;

    void SetUp() override
    {
        m_application = makeApplication();
        const fs::path root = m_dir.path().toStdString();
        m_data = root / "data";
        m_config = root / "config";
        m_bin = root / "bin";
        m_log = root / "tools.log";
        setenv("XDG_DATA_HOME", m_data.c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
        setenv("XDG_DATA_DIRS", (root / "system").c_str(), 1); // no install of this machine counts
        m_savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        fs::create_directories(m_bin);
        setenv("PATH", m_bin.c_str(), 1);
        tool("update-mime-database", "mime.cache");
        tool("update-desktop-database", "mimeinfo.cache");
    }
    void TearDown() override
    {
        waitForRefreshes();
        m_application.reset();
        setenv("PATH", m_savedPath.c_str(), 1);
    }

    // The log is complete, and the folders are the tools' no longer, once no refresh waits or runs.
    static void waitForRefreshes()
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return !FileTypeRefreshPending(); }, kRefreshWaitMs));
    }

    // A held tool marks that it started, then waits for its release before it logs and builds.
    void tool(const std::string &name, const std::string &cache, bool held = false)
    {
        const fs::path script = m_bin / name;
        const std::string logLine = "echo \"" + name + " $1\" >> '" + m_log.string() + "'\n";
        const std::string hold = "echo >> '" + started(name).string() + "'\n" + "while [ ! -e '" +
                                 released(name).string() + "' ]; do sleep 0.01; done\n";
        writeText(script, "#!/bin/sh\n" + (held ? hold : "") + logLine + ": > \"$1/" + cache + "\"\n");
        fs::permissions(script, fs::perms::owner_all);
    }
    void holdTools()
    {
        tool("update-mime-database", "mime.cache", true);
        tool("update-desktop-database", "mimeinfo.cache", true);
    }
    void release(const std::string &name) const { writeText(released(name), ""); }
    fs::path started(const std::string &name) const { return m_bin.parent_path() / (name + ".started"); }
    fs::path released(const std::string &name) const { return m_bin.parent_path() / (name + ".released"); }
    long starts(const std::string &name) const
    {
        const std::string text = readText(started(name));
        return std::count(text.begin(), text.end(), '\n');
    }
    std::string expectedLog(int mimeRuns, int desktopRuns) const
    {
        std::string text;
        for (int i = 0; i < mimeRuns; ++i)
            text += "update-mime-database " + (m_data / "mime").string() + "\n";
        for (int i = 0; i < desktopRuns; ++i)
            text += "update-desktop-database " + (m_data / "applications").string() + "\n";
        return text;
    }

    void registerVlp(const std::string &program) { RegisterFileType(".VLP", "", "Velm Package", program, ""); }

    fs::path mimePackage() const { return m_data / "mime/packages/velm-reader-vlpfile.xml"; }
    fs::path desktopEntry() const { return m_data / "applications/velm-reader-vlpfile.desktop"; }
    fs::path icon() const { return m_data / "icons/hicolor/scalable/apps/velm-reader.svg"; }
    fs::path mimeApps() const { return m_config / "mimeapps.list"; }
    std::string log() const { return readText(m_log); }
    long toolRuns() const
    {
        const std::string text = log();
        return std::count(text.begin(), text.end(), '\n');
    }
};

} // namespace

TEST_F(FileAssociation, WritesTypeEntryIconAndDefaultWithTheProgramPath)
{
    registerVlp("/opt/velm/velm-reader");
    const std::string mime = readText(mimePackage());
    EXPECT_NE(mime.find("<mime-type type=\"application/x-vlpfile\">"), std::string::npos) << mime;
    EXPECT_NE(mime.find("<comment>Velm Package</comment>"), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.VLP\"/>"), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.vlp\"/>"), std::string::npos);
    EXPECT_NE(mime.find("<icon name=\"velm-reader\"/>"), std::string::npos);

    const std::string entry = readText(desktopEntry());
    EXPECT_EQ(lineStarting(entry, "Exec="), "Exec=/opt/velm/velm-reader %f");
    EXPECT_EQ(lineStarting(entry, "MimeType="), "MimeType=application/x-vlpfile;");
    EXPECT_EQ(lineStarting(entry, "Icon="), "Icon=velm-reader");
    EXPECT_EQ(lineStarting(entry, "Type="), "Type=Application");
    EXPECT_EQ(readText(icon()), ProgramIconSvg());
    EXPECT_EQ(readText(mimeApps()), "[Default Applications]\napplication/x-vlpfile=velm-reader-vlpfile.desktop;\n");
    waitForRefreshes();
    EXPECT_EQ(log(), "update-mime-database " + (m_data / "mime").string() + "\nupdate-desktop-database " +
                         (m_data / "applications").string() + "\n");
}

TEST_F(FileAssociation, AnotherFolderRewritesCommandAndAnUnchangedStartRefreshesNothing)
{
    registerVlp("/opt/a/velm-reader");
    waitForRefreshes();
    registerVlp("/opt/a/velm-reader");
    waitForRefreshes();
    EXPECT_EQ(toolRuns(), 2) << "an unchanged start rebuilt the databases";
    fs::remove(icon());
    registerVlp("/home/u/b/velm-reader");
    EXPECT_EQ(lineStarting(readText(desktopEntry()), "Exec="), "Exec=/home/u/b/velm-reader %f");
    EXPECT_TRUE(fs::exists(icon()));
    waitForRefreshes();
    EXPECT_EQ(toolRuns(), 3) << log(); // only the desktop database: its entry changed
    EXPECT_NE(log().rfind("update-desktop-database"), std::string::npos);
}

TEST_F(FileAssociation, DatabasesNeverBuiltAreBuiltOnceTheToolsAppear)
{
    setenv("PATH", (m_bin / "empty").c_str(), 1);
    registerVlp("/opt/velm/velm-reader");
    EXPECT_TRUE(fs::exists(desktopEntry()));
    setenv("PATH", m_bin.c_str(), 1);
    registerVlp("/opt/velm/velm-reader");
    waitForRefreshes();
    EXPECT_EQ(toolRuns(), 2);
}

TEST_F(FileAssociation, StartUpNeverWaitsForTheTools)
{
    holdTools();
    registerVlp("/opt/velm/velm-reader");
    // Back from the call with every file written, while the first tool has not even been let go.
    EXPECT_TRUE(fs::exists(icon()));
    EXPECT_EQ(readText(mimeApps()), "[Default Applications]\napplication/x-vlpfile=velm-reader-vlpfile.desktop;\n");
    EXPECT_TRUE(FileTypeRefreshPending());
    EXPECT_EQ(log(), "");
    release("update-mime-database");
    release("update-desktop-database");
    waitForRefreshes();
    EXPECT_EQ(log(), expectedLog(1, 1)) << "one tool after the other, each once";
}

TEST_F(FileAssociation, StartsWhileToolsRunAddARefreshOnlyForSourcesChangedSinceItsStart)
{
    holdTools();
    registerVlp("/opt/a/velm-reader"); // the type database's tool runs, the entry database's waits
    registerVlp("/opt/a/velm-reader"); // nothing changed: both already under way
    registerVlp("/opt/b/velm-reader"); // the entry changed, but its refresh has not started: it reads the new one
    release("update-mime-database");
    ASSERT_TRUE(QTest::qWaitFor([&] { return starts("update-desktop-database") == 1; }, kRefreshWaitMs));
    registerVlp("/opt/c/velm-reader"); // the entry changed while its refresh runs: one more after it
    release("update-desktop-database");
    waitForRefreshes();
    EXPECT_EQ(log(), expectedLog(1, 2));
    EXPECT_EQ(starts("update-mime-database"), 1);
    EXPECT_EQ(starts("update-desktop-database"), 2);
}

TEST_F(FileAssociation, TheApplicationsEndFinishesTheToolsItLeft)
{
    holdTools();
    registerVlp("/opt/a/velm-reader");
    ASSERT_TRUE(QTest::qWaitFor([&] { return starts("update-mime-database") == 1; }, kRefreshWaitMs));
    release("update-mime-database");
    release("update-desktop-database");
    m_application.reset(); // one tool running, the other waiting
    EXPECT_EQ(log(), expectedLog(1, 1));
    EXPECT_FALSE(FileTypeRefreshPending());

    // The next application has a queue of its own.
    m_application = makeApplication();
    registerVlp("/opt/b/velm-reader");
    waitForRefreshes();
    EXPECT_EQ(log(), expectedLog(1, 2));
}

TEST_F(FileAssociation, ProgramPathsAreQuotedAsDesktopEntriesNeed)
{
    struct Case {
        std::string path, exec;
    };
    const Case cases[] = {
        {"/opt/velm/velm-reader", "Exec=/opt/velm/velm-reader %f"},
        {"/opt/my velm/velm-reader", "Exec=\"/opt/my velm/velm-reader\" %f"},
        {"/opt/100%/velm", "Exec=/opt/100%%/velm %f"},
        {"/opt/a\"b$c`d\\e/velm", "Exec=\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e/velm\" %f"},
    };
    for (const Case &c : cases) {
        registerVlp(c.path);
        EXPECT_EQ(lineStarting(readText(desktopEntry()), "Exec="), c.exec) << c.path;
    }
}

TEST_F(FileAssociation, ArgumentsShapeTheNames)
{
    RegisterFileType("VLP", "", "Velm Package", "/p/velm", "");
    const std::string withoutDot = readText(mimePackage());
    waitForRefreshes();
    fs::remove_all(m_data);
    registerVlp("/p/velm");
    EXPECT_EQ(readText(mimePackage()), withoutDot);

    RegisterFileType(".pkg", "VelmPack", "Pack & <more>", "/p/velm", "application/x-velm-pack");
    const std::string mime = readText(m_data / "mime/packages/velm-reader-velmpack.xml");
    EXPECT_NE(mime.find("type=\"application/x-velm-pack\""), std::string::npos) << mime;
    EXPECT_NE(mime.find("<comment>Pack &amp; &lt;more&gt;</comment>"), std::string::npos);
    EXPECT_EQ(mime.find("*.PKG"), std::string::npos); // one glob when the given case is lower already
    EXPECT_EQ(lineStarting(readText(m_data / "applications/velm-reader-velmpack.desktop"), "MimeType="),
              "MimeType=application/x-velm-pack;");

    // Nothing to register without an extension or a program.
    waitForRefreshes();
    fs::remove_all(m_data);
    RegisterFileType("", "", "Velm Package", "/p/velm", "");
    RegisterFileType(".VLP", "", "Velm Package", "", "");
    EXPECT_FALSE(fs::exists(m_data));
}

TEST_F(FileAssociation, OurDefaultJoinsTheListOnlyWhereTheUserChoseNone)
{
    const std::string ours = "application/x-vlpfile=velm-reader-vlpfile.desktop;\n";
    const std::string others = "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n"
                               "application/x-vlpfile=other.desktop;\ntext/html=browser.desktop;\n\n"
                               "[Removed Associations]\nimage/png=viewer.desktop;\n";
    struct Case {
        const char *name;
        std::string list, olderList, expected; // "-": no such file
    };
    const Case cases[] = {
        {"the user's default", others, "-", others},
        {"the user's default in the older list", "-", others, "-"},
        {"ours already", "[Default Applications]\n" + ours, "-", "[Default Applications]\n" + ours},
        {"none: added to the section, every other line kept",
         "[Default Applications]\ntext/html=browser.desktop;\n\n[Removed Associations]\n", "-",
         "[Default Applications]\ntext/html=browser.desktop;\n" + ours + "\n[Removed Associations]\n"},
    };
    const fs::path olderList = m_data / "applications/mimeapps.list";
    for (const Case &c : cases) {
        fs::remove(mimeApps());
        fs::remove(olderList);
        if (c.list != "-")
            writeText(mimeApps(), c.list);
        if (c.olderList != "-")
            writeText(olderList, c.olderList);
        registerVlp("/p/velm");
        EXPECT_EQ(fs::exists(mimeApps()) ? readText(mimeApps()) : "-", c.expected) << c.name;
        EXPECT_EQ(fs::exists(olderList) ? readText(olderList) : "-", c.olderList) << c.name;
        EXPECT_TRUE(fs::exists(desktopEntry())) << c.name;
    }
}

TEST_F(FileAssociation, AFolderThatCannotBeWrittenEndsTheRegistrationSilently)
{
    // A file where a folder must go stops even root, for whom permissions are no obstacle.
    writeText(m_data / "applications", "not a folder");
    EXPECT_NO_THROW(registerVlp("/p/velm"));
    EXPECT_TRUE(fs::exists(mimePackage()));
    EXPECT_FALSE(fs::exists(icon()));
    EXPECT_FALSE(fs::exists(mimeApps()));
    waitForRefreshes();
    EXPECT_EQ(log(), "");

    fs::remove_all(m_data);
    writeText(m_data, "not a folder either");
    EXPECT_NO_THROW(registerVlp("/p/velm"));
    EXPECT_TRUE(fs::is_regular_file(m_data));
    EXPECT_FALSE(fs::exists(mimeApps()));
}

TEST(ProgramIcon, ShippedFileIsTheInstalledIcon)
{
    EXPECT_EQ(readText(VELM_SHIPPED_ICON), ProgramIconSvg());
}
