#include "archive/tests/test_archive.h"

#include "archive/archive_file.h"
#include "archive/util.h"
#include "base/error.h"
#include "base/progress.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace velm;

namespace {

std::string fixture(const char *name)
{
    return std::string(VELM_FIXTURES) + "/" + name;
}

// Copies a fixture into the folder, so nothing is ever written beside the shared files.
std::string copyFixture(const QTemporaryDir &dir, const char *name, const char *as = nullptr)
{
    const std::string target = dir.filePath(as ? as : name).toStdString();
    fs::copy_file(fixture(name), target);
    return target;
}

std::string openError(const std::string &connectionText, Connection::Mode mode = Connection::Mode::Archive)
{
    Connection connection(mode);
    connection.setConnectionText(connectionText);
    try {
        connection.open();
    } catch (const Error &e) {
        EXPECT_FALSE(connection.connected());
        return e.utf8();
    }
    return "opened";
}

TEST(ArchiveFile, ConnectionTextsAndNames)
{
    EXPECT_EQ(dataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/velm//velm.mdb;Persist Security "
                           "Info=False"),
              "/opt/velm//velm.mdb");
    EXPECT_EQ(dataSourceOf("provider=x;data source= /a b/c.mdb "), "/a b/c.mdb");
    EXPECT_EQ(dataSourceOf("/home/u/archive.mdb"), "/home/u/archive.mdb");
    EXPECT_EQ(sqliteSiblingOf("/a/velm.mdb"), "/a/velm.sqlite");
    EXPECT_EQ(sqliteSiblingOf("/a/OLD.MDB"), "/a/OLD.sqlite");
    EXPECT_EQ(sqliteSiblingOf("/a.b/noext"), "/a.b/noext.sqlite");
}

TEST(ArchiveFile, KindsOfFile)
{
    QTemporaryDir dir;
    const std::string text = dir.filePath("notes.mdb").toStdString();
    test::writeFile(text, "just some text, no database\n");
    EXPECT_EQ(fileKindOf(text), FileKind::Other);
    EXPECT_EQ(fileKindOf(dir.filePath("none.mdb").toStdString()), FileKind::Missing);
    EXPECT_EQ(fileKindOf(dir.path().toStdString()), FileKind::Missing);
    EXPECT_EQ(fileKindOf(fixture("archive-small.mdb")), FileKind::Jet);
    EXPECT_EQ(fileKindOf(test::makeArchive(dir, "")), FileKind::SQLite);
}

TEST(ArchiveFile, BadFilesAreNamedAndLeaveNothing)
{
    QTemporaryDir dir;
    const std::string missing = dir.filePath("missing.mdb").toStdString();
    EXPECT_NE(openError(missing).find(missing), std::string::npos);
    EXPECT_NE(openError(missing).find("找不到"), std::string::npos);

    const std::string text = dir.filePath("notes.mdb").toStdString();
    test::writeFile(text, "just some text, no database\n");
    EXPECT_NE(openError(text).find(text), std::string::npos);
    EXPECT_NE(openError(text, Connection::Mode::Package).find(text), std::string::npos);

    // A Jet file cut to half its length.
    const std::string cut = copyFixture(dir, "archive-small.mdb", "cut.mdb");
    fs::resize_file(cut, fs::file_size(cut) / 2);
    EXPECT_NE(openError(cut).find("cut.mdb"), std::string::npos);
    EXPECT_NE(openError(cut, Connection::Mode::Package).find("cut.mdb"), std::string::npos);

    // An SQLite file that is damaged past its header.
    const std::string broken = test::makeArchive(dir, "", "broken.sqlite");
    {
        std::fstream f(broken, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(100);
        f << std::string(4000, '\x5A');
    }
    EXPECT_NE(openError(broken).find("broken.sqlite"), std::string::npos);

    // Nothing half-written is left beside the bad files.
    for (const auto &entry : fs::directory_iterator(dir.path().toStdString()))
        EXPECT_TRUE(entry.path().filename() == "notes.mdb" || entry.path().filename() == "cut.mdb" ||
                    entry.path().filename() == "broken.sqlite")
            << entry.path();
}

TEST(ArchiveFile, JetArchiveIsConvertedOnceThenItsSiblingServes)
{
    QTemporaryDir dir;
    const std::string mdb = copyFixture(dir, "archive-small.mdb");
    const std::string sibling = sqliteSiblingOf(mdb);
    {
        Connection connection;
        connection.setConnectionText("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + mdb +
                                     ";Persist Security Info=False");
        SilentProgress progress;
        connection.open(&progress);
        EXPECT_EQ(connection.databasePath(), sibling);
        EXPECT_GT(progress.maximum(), 0); // the tables were shown
        Value count;
        ASSERT_TRUE(SQLLookup("select Count(*) from FORUM_FORUM ", count, false, &connection));
        EXPECT_EQ(count.toInt(), 12);
        // The reader's indexes come with the converted archive.
        ASSERT_TRUE(SQLLookup("select Count(*) from sqlite_master where type='index'", count, false, &connection));
        EXPECT_EQ(count.toInt(), 9);
    }
    ASSERT_TRUE(fs::exists(sibling));
    const auto written = fs::last_write_time(sibling);
    {
        Connection connection;
        connection.setConnectionText(mdb);
        SilentProgress progress;
        connection.open(&progress);
        EXPECT_EQ(progress.maximum(), 100); // untouched: no conversion this time
        EXPECT_EQ(connection.databasePath(), sibling);
    }
    EXPECT_EQ(fs::last_write_time(sibling), written);

    // Without the Jet file, its name still opens the sibling (a shipped archive).
    fs::remove(mdb);
    Connection connection;
    connection.setConnectionText(mdb);
    EXPECT_NO_THROW(connection.open());
}

TEST(ArchiveFile, PackageOpensThroughACopyAndLeavesNoFile)
{
    QTemporaryDir dir;
    const std::string mdb = copyFixture(dir, "2004W06.mdb");
    Connection package(Connection::Mode::Package);
    package.setConnectionText(mdb);
    package.open();
    EXPECT_EQ(package.databasePath(), mdb);
    Value name;
    ASSERT_TRUE(SQLLookup("select M_NAME from FORUM_MEMBERS where MEMBER_ID=3", name, false, &package));
    EXPECT_EQ(name.toUtf8(), "alice_new");
    EXPECT_FALSE(fs::exists(sqliteSiblingOf(mdb)));
}

} // namespace
