// The files an install puts under share/ describe the same type, icon and program as the registration the
// reader makes for its user at every start, so that neither hides or contradicts the other.
#include "shell_core/file_association.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

using namespace velm;
namespace fs = std::filesystem;

namespace {

const fs::path kSources = VELM_DATA_SOURCES;

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The value of a key in a desktop entry; nothing when the key is missing.
std::optional<std::string> entryValue(const std::string &entry, const std::string &key)
{
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(key + "="))
            return line.substr(key.size() + 1);
    return std::nullopt;
}

// An environment variable set for one test and put back after it.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const std::string &value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

// The registration the reader makes at its start, written into a folder of its own.
class Registration : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const ScopedVariable data("XDG_DATA_HOME", home() / "data");
        const ScopedVariable config("XDG_CONFIG_HOME", home() / "config");
        const ScopedVariable dataDirs("XDG_DATA_DIRS", home() / "share"); // an install on this machine has no say
        RegisterFileType(".VLP", "", "Velm Package", "/usr/bin/velm-reader", "");
    }

    fs::path home() const { return m_dir.path().toStdString(); }
    fs::path registered(const std::string &relative) const { return home() / "data" / relative; }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Registration, InstalledTypeAndIconAreTheRegisteredOnes)
{
    ASSERT_TRUE(fs::exists(registered("mime/packages/velm-reader-vlpfile.xml")));
    EXPECT_EQ(readAll(kSources / "velm-reader-vlpfile.xml"),
              readAll(registered("mime/packages/velm-reader-vlpfile.xml")));
    EXPECT_EQ(readAll(kSources / "icons/velm-reader.svg"), ProgramIconSvg());
    EXPECT_EQ(readAll(kSources / "icons/velm-reader.svg"),
              readAll(registered("icons/hicolor/scalable/apps/velm-reader.svg")));
}

TEST_F(Registration, InstalledEntryOpensTheSameTypeUnderItsOwnName)
{
    const std::string installed = readAll(kSources / "velm-reader.desktop");
    const std::string user = readAll(registered("applications/velm-reader-vlpfile.desktop"));
    for (const char *key : {"Type", "Name", "Name[zh_TW]", "Icon", "MimeType", "Terminal"})
        EXPECT_EQ(entryValue(installed, key), entryValue(user, key)) << key;
    EXPECT_EQ(entryValue(installed, "Icon"), std::string(kProgramIconName));
    EXPECT_EQ(entryValue(installed, "Exec"), "velm-reader %f");
    // The menu shows the installed entry; the user's own one (same program, absolute path) stays hidden,
    // and has another name, so it never hides the installed one.
    EXPECT_EQ(entryValue(installed, "NoDisplay"), std::nullopt);
    EXPECT_EQ(entryValue(user, "NoDisplay"), "true");
}

TEST(InstalledFiles, AnInstallThatOpensTheTypeWithThisProgramLeavesTheHomeAlone)
{
    struct Case {
        const char *name;
        std::string exec;   // the entry's Exec line; "-" to leave the type out of the entry
        bool typeInstalled; // the MIME package beside the entry
        bool underDataHome; // installed with the prefix ~/.local
        bool registered;
    };
    const std::string shippedExec = "Exec=" + entryValue(readAll(kSources / "velm-reader.desktop"), "Exec").value();
    const Case cases[] = {
        {"the shipped files", shippedExec, true, false, false},
        {"the shipped files under the data home", shippedExec, true, true, false},
        {"the program by its full path", "Exec=@bin@/velm-reader %f", true, false, false},
        {"an entry of another program", "Exec=other-reader %f", true, false, true},
        {"no type installed", shippedExec, false, false, true},
        {"an entry that does not open the type", "-", true, false, true},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        const fs::path bin = root / "bin";
        const fs::path share = c.underDataHome ? root / "home/data" : root / "share";
        fs::create_directories(bin);
        for (const char *program : {"velm-reader", "other-reader"}) {
            std::ofstream(bin / program) << "#!/bin/sh\n";
            fs::permissions(bin / program, fs::perms::owner_all);
        }
        std::string entry;
        std::istringstream shipped(readAll(kSources / "velm-reader.desktop"));
        for (std::string line; std::getline(shipped, line);) {
            if (line.starts_with("Exec="))
                line = QString::fromStdString(c.exec == "-" ? shippedExec : c.exec)
                           .replace(QStringLiteral("@bin@"), QString::fromStdString(bin.string()))
                           .toStdString();
            if (!(c.exec == "-" && line.starts_with("MimeType=")))
                entry += line + "\n";
        }
        fs::create_directories(share / "applications");
        std::ofstream(share / "applications/velm-reader.desktop") << entry;
        if (c.typeInstalled) {
            fs::create_directories(share / "mime/packages");
            fs::copy_file(kSources / "velm-reader-vlpfile.xml", share / "mime/packages/velm-reader-vlpfile.xml");
        }

        const ScopedVariable path("PATH", bin);
        const ScopedVariable dataDirs("XDG_DATA_DIRS", root / "share");
        const ScopedVariable data("XDG_DATA_HOME", root / "home/data");
        const ScopedVariable config("XDG_CONFIG_HOME", root / "home/config");
        RegisterFileType(".VLP", "", "Velm Package", (bin / "velm-reader").string(), "");
        EXPECT_EQ(fs::exists(root / "home/data/applications/velm-reader-vlpfile.desktop"), c.registered) << c.name;
        EXPECT_EQ(fs::exists(root / "home/config"), c.registered) << c.name;
    }
}
