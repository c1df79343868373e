// Archives converted by earlier versions compare text byte by byte; opened now, they are rebuilt once so
// that text compares without regard to letter case.
#include "archive/archive_file.h"
#include "archive/archive_upgrade.h"
#include "archive/util.h"
#include "base/error.h"
#include "base/progress.h"
#include "sqlite/testing/test_db.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <vector>

namespace fs = std::filesystem;
using namespace velm;
using velm::test::Db;

namespace {

// Every row of every table, each value quoted exactly (text, blobs and nulls apart), in storage order.
std::map<std::string, std::vector<std::string>> contents(const Db &db)
{
    std::map<std::string, std::vector<std::string>> all;
    for (const std::string &table : db.column("select name from sqlite_master where type='table' order by name")) {
        std::string row;
        for (const std::string &name : db.column("select name from pragma_table_info('" + table + "')"))
            row += (row.empty() ? "" : "||','||") + std::string("quote(\"") + name + "\")";
        all[table] = db.column("select " + row + " from \"" + table + "\" order by rowid");
    }
    return all;
}

std::vector<std::string> collations(const Db &db, const std::string &table)
{
    std::vector<std::string> out;
    for (const std::string &name : db.column("select name from pragma_table_info('" + table + "')")) {
        const char *collation = nullptr;
        sqlite3_table_column_metadata(db.handle, "main", table.c_str(), name.c_str(), nullptr, &collation, nullptr,
                                      nullptr, nullptr);
        out.push_back(name + " " + (collation ? collation : "?"));
    }
    return out;
}

Value lookup(Connection &connection, const std::string &sql)
{
    Value value;
    SQLLookup(sql, value, false, &connection);
    return value;
}

class ArchiveUpgrade : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.filePath("velm.sqlite").toStdString();
        const std::string mdb = m_dir.filePath("velm.mdb").toStdString();
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", mdb);
        {
            Connection converted;
            converted.setConnectionText(mdb);
            converted.open();
        }
        fs::remove(mdb);
        // As earlier versions left it: text compared byte by byte, no form recorded; an index of its own and
        // a blob and a GB-coded text among the rows.
        Db db(m_path);
        db.exec("PRAGMA writable_schema=ON");
        db.exec("UPDATE sqlite_master SET sql = replace(sql, ' COLLATE NOCASE', '')");
        db.exec("PRAGMA writable_schema=OFF");
        db.exec("PRAGMA user_version=0");
        db.exec("CREATE INDEX IX_OWN ON FORUM_MEMBERS (M_NAME)");
        db.exec("INSERT INTO FORUM_MEMBERS (MEMBER_ID, M_NAME, M_EMAIL) VALUES (50, x'00ff41', 'Bob@Example.COM')");
    }

    void reopenPlain()
    {
        // The changed schema is read again from a fresh connection; the indexes then follow it.
        Db db(m_path);
        db.exec("REINDEX");
    }

    QTemporaryDir m_dir;
    std::string m_path;
};

} // namespace

TEST_F(ArchiveUpgrade, OnceKeepingEveryRowByteForByte)
{
    reopenPlain();
    const std::uintmax_t bytesBefore = fs::file_size(m_path);
    std::map<std::string, std::vector<std::string>> before;
    {
        const Db db(m_path);
        before = contents(db);
        EXPECT_EQ(db.text("select count(*) from FORUM_TOPICS where T_SUBJECT = 'treeview'"), "0");
    }
    std::vector<std::string> steps;
    setArchiveNoticeHandler([&](ArchiveNotice kind, const std::string &text) {
        EXPECT_EQ(kind, ArchiveNotice::Step) << text;
        steps.push_back(text);
    });
    SilentProgress progress;
    {
        Connection archive;
        archive.setConnectionText(m_path);
        archive.open(&progress);
        EXPECT_EQ(lookup(archive, "select T_SUBJECT from FORUM_TOPICS where T_SUBJECT = 'treeview'").toText(),
                  "TreeView");
        EXPECT_EQ(lookup(archive, "select count(*) from FORUM_TOPICS where T_GOOD = 'Y'").toInt(), 4);
    }
    EXPECT_NE(std::find(steps.begin(), steps.end(), "升級資料表 FORUM_TOPICS"), steps.end());
    EXPECT_EQ(progress.caption().empty(), false);

    // No room is left unused: the file is no larger than before (a conversion with two rows more).
    EXPECT_LE(fs::file_size(m_path), bytesBefore + bytesBefore / 20);
    const Db db(m_path);
    EXPECT_EQ(contents(db), before);
    EXPECT_EQ(db.text("PRAGMA user_version"), std::to_string(kArchiveForm));
    EXPECT_EQ(db.text("PRAGMA integrity_check"), "ok");
    const auto members = collations(db, "FORUM_MEMBERS");
    EXPECT_EQ(members, (std::vector<std::string>{"MEMBER_ID BINARY", "M_NAME NOCASE", "M_EMAIL NOCASE",
                                                 "M_POSTS BINARY", "M_JOINED BINARY"}));
    // Declared types stay, so the fields keep their kinds; the indexes are there again.
    EXPECT_EQ(db.text("select type from pragma_table_info('FORUM_TOPICS') where name = 'T_SUBJECT'"), "VARCHAR(100)");
    EXPECT_EQ(db.text("select count(*) from sqlite_master where name in ('IX_OWN', 'IX_TOPICS_FORUM')"), "2");
    EXPECT_EQ(db.text("select count(*) from FORUM_MEMBERS where M_EMAIL = 'bob@example.com'"), "1");

    // The second open finds nothing to do.
    const std::string schema = db.text("PRAGMA schema_version");
    steps.clear();
    {
        Connection again;
        again.setConnectionText(m_path);
        again.open();
    }
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(Db(m_path).text("PRAGMA schema_version"), schema);
    setArchiveNoticeHandler({});
}

TEST_F(ArchiveUpgrade, AnArchiveThatCannotBeUpgradedOpensAsItIsWithAWarning)
{
    reopenPlain();
    std::vector<std::string> warnings;
    setArchiveNoticeHandler([&](ArchiveNotice kind, const std::string &text) {
        if (kind == ArchiveNotice::Warning)
            warnings.push_back(text);
    });
    {
        // Another program writes to the archive all the while.
        Db writer(m_path);
        writer.exec("PRAGMA journal_mode=WAL");
        writer.exec("BEGIN IMMEDIATE");
        Connection archive;
        archive.setConnectionText(m_path);
        archive.open();
        EXPECT_EQ(lookup(archive, "select count(*) from FORUM_TOPICS where T_SUBJECT = 'TreeView'").toInt(), 1);
        writer.exec("ROLLBACK");
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("無法升級資料庫檔案 " + m_path), std::string::npos) << warnings[0];
    EXPECT_EQ(Db(m_path).text("PRAGMA user_version"), "0");

    warnings.clear();
    {
        Connection archive;
        archive.setConnectionText(m_path);
        archive.open();
    }
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(Db(m_path).text("PRAGMA user_version"), std::to_string(kArchiveForm));
    setArchiveNoticeHandler({});
}

TEST(CaseBlindText, NewConversionsAndTheMergeIgnoreLetterCase)
{
    QTemporaryDir dir;
    const std::string mdb = dir.filePath("velm.mdb").toStdString();
    fs::copy_file(VELM_FIXTURES "/archive-small.mdb", mdb);
    Connection archive;
    archive.setConnectionText(mdb);
    archive.open();
    EXPECT_EQ(lookup(archive, "PRAGMA user_version").toInt(), kArchiveForm);
    EXPECT_EQ(lookup(archive, "select count(*) from FORUM_MEMBERS where M_NAME = 'ALICE'").toInt(), 1);
    EXPECT_EQ(
        lookup(archive, "select count(*) from FORUM_TOPICS where T_SUBJECT <> 'treeview' and TOPIC_ID = 1013").toInt(),
        0);
    EXPECT_EQ(lookup(archive, "select count(*) from FORUM_TOPICS where T_GOOD in ('Y')").toInt(), 4);

    // A package read through its copy compares the same way.
    Connection package(Connection::Mode::Package);
    package.setConnectionText(VELM_FIXTURES "/2004W06.mdb");
    package.open();
    EXPECT_EQ(lookup(package, "select count(*) from FORUM_MEMBERS where M_NAME = 'ALICE_NEW'").toInt(), 1);
}
