#include "packages/tests/import_fixture.h"

#include "base/error.h"
#include "packages/package_import.h"

using namespace velm;
using namespace velm::test;

namespace {

// Every package row stands in the archive, column for column, exactly as the package holds it.
void expectRowsCopied(Connection &package, Connection &archive, const MergeStep &step)
{
    auto rows = OpenQuery(std::string("select * from ") + step.table, &package);
    for (; !rows->eof(); rows->next()) {
        std::string columns, where;
        for (int i = 0; i < rows->fieldCount(); ++i)
            columns += (i ? "," : "") + rows->fieldName(i);
        std::string keys = step.keys;
        while (!keys.empty()) {
            const std::string key = CutToken(";", keys);
            where += (where.empty() ? "" : " and ") + key + "=" + rows->fieldByName(key).asString();
        }
        auto stored = OpenQuery("select " + columns + " from " + step.table + " where " + where, &archive);
        ASSERT_EQ(stored->rowCount(), 1) << step.table << " " << where;
        for (int i = 0; i < rows->fieldCount(); ++i)
            EXPECT_EQ(stored->field(i).value(), rows->field(i).value())
                << step.table << " " << where << " " << rows->fieldName(i);
    }
}

} // namespace

TEST_F(ImportTest, WeekPackageMergesEveryTableAndIsRecordedOnce)
{
    const std::string categories = table("FORUM_CATEGORY");
    const std::string path = fixture("2004W06.mdb", "2004W06.mdb");
    ImportPackage(path, archive, package, host);

    EXPECT_EQ(rows("select M_NAME from FORUM_MEMBERS where MEMBER_ID in (3, 8) order by 1"), "alice_new\n新會員\n");
    EXPECT_EQ(rows("select CAT_ID from FORUM_FORUM where FORUM_ID = 113"), "1\n");
    EXPECT_EQ(rows("select T_SUBJECT from FORUM_TOPICS where TOPIC_ID = 1003"), "ADO 連線字串的寫法 (已解決)\n");
    EXPECT_EQ(rows("select TOPIC_ID, REPLY_ID from FORUM_REPLY where REPLY_ID in (3, 5) and TOPIC_ID in "
                   "(1003, 1101, 1014) order by 1"),
              "1003|3\n1014|5\n1101|5\n");
    EXPECT_EQ(table("FORUM_CATEGORY"), categories);
    EXPECT_EQ(rows("select count(*) from FORUM_MEMBERS where MEMBER_ID = 3"), "1\n");
    EXPECT_EQ(rows("select UPD_DATE from UPDATELOG where UPD_TITLE = '2004年06週'"), "2004/03/21 14:05:09\n");
    package.setConnectionText(path);
    package.open();
    for (const MergeStep &step : kMergePlan)
        expectRowsCopied(package, archive, step);
    package.close();

    EXPECT_EQ(host.events.front(), "status 匯入會員資料...");
    EXPECT_EQ(host.events.back(), "status 匯入回覆文章...");
    EXPECT_EQ(fromCp950(host.sink.caption()), "匯入完成");
    EXPECT_EQ(host.sink.position(), 6);
    EXPECT_FALSE(host.sink.visible());
    EXPECT_GT(host.eventRuns, 10) << "pending messages run between rows";

    auto everything = [&] {
        return table("FORUM_MEMBERS") + table("FORUM_FORUM") + table("FORUM_TOPICS") + table("FORUM_REPLY") +
               table("UPDATELOG");
    };
    const std::string before = everything();
    ImportPackage(path, archive, package, host);
    EXPECT_EQ(everything(), before);
}

TEST_F(ImportTest, FailingPackagesKeepWhatWasMergedAndWhatWouldHaveBeenReplaced)
{
    const std::string members = table("FORUM_MEMBERS");
    const std::string log = table("UPDATELOG");
    try {
        ImportPackage(fixture("pkg-extra-column.mdb", "2004W09.mdb"), archive, package, host);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_NE(e.utf8().find("M_SIGNATURE"), std::string::npos) << e.utf8();
    }
    EXPECT_EQ(table("FORUM_MEMBERS"), members);
    EXPECT_FALSE(host.sink.visible());

    try {
        ImportPackage(fixture("pkg-no-reply-table.mdb", "2004W08.mdb"), archive, package, host);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_NE(e.utf8().find("FORUM_REPLY"), std::string::npos) << e.utf8();
    }
    EXPECT_EQ(rows("select M_NAME from FORUM_MEMBERS where MEMBER_ID = 3"), "alice_new\n");
    EXPECT_EQ(rows("select count(*) from FORUM_TOPICS where TOPIC_ID in (1003, 1101, 1102)"), "3\n");
    EXPECT_EQ(table("UPDATELOG"), log);
}

TEST_F(ImportTest, RefusedRowKeepsItsArchiveRowAndEarlierRowsAreCommitted)
{
    ExecuteSQL("CREATE TABLE FORUM_STRICT (MEMBER_ID INTEGER, M_NAME VARCHAR(20) NOT NULL)", &archive);
    ExecuteSQL("INSERT INTO FORUM_STRICT VALUES (1, 'old1'), (2, 'old2'), (3, 'old3')", &archive);
    makeSqlitePackage(path("strict.sqlite"), "CREATE TABLE FORUM_STRICT (MEMBER_ID INTEGER, M_NAME VARCHAR(20));"
                                             "INSERT INTO FORUM_STRICT VALUES (1, 'new1'), (2, NULL), (3, 'new3');");
    package.setConnectionText(path("strict.sqlite"));
    package.open();
    EXPECT_THROW(MergeTable("FORUM_STRICT", "MEMBER_ID", archive, package, host), Error);
    archive.close(); // what stands must be committed, not merely visible to this connection
    archive.open();
    EXPECT_EQ(rows("select * from FORUM_STRICT order by 1"), "1|new1\n2|old2\n3|old3\n");
}

// Replace-or-add per key, however many archive rows hold it: the package's columns, the archive's others
// their defaults, rows of other keys untouched.
TEST_F(ImportTest, ReplacedRowsTakeThePackageColumnsAndTheDefaultsOfTheOthers)
{
    ExecuteSQL("CREATE TABLE FORUM_EXTRA (MEMBER_ID INTEGER, M_NAME TEXT, M_NOTE TEXT DEFAULT 'none', M_SCORE INTEGER)",
               &archive);
    ExecuteSQL("INSERT INTO FORUM_EXTRA VALUES (1, 'a1', 'n1', 1), (2, 'a2', 'n2', 2), (2, 'b2', 'm2', 2), "
               "(4, 'a4', 'n4', 4)",
               &archive);
    makeSqlitePackage(path("extra.sqlite"), "CREATE TABLE FORUM_EXTRA (MEMBER_ID INTEGER, M_NAME TEXT);"
                                            "INSERT INTO FORUM_EXTRA VALUES (1, 'new1'), (2, 'new2'), (3, 'new3');");
    package.setConnectionText(path("extra.sqlite"));
    package.open();
    MergeTable("FORUM_EXTRA", "MEMBER_ID", archive, package, host);
    EXPECT_EQ(rows("select * from FORUM_EXTRA order by 1"),
              "1|new1|none|<null>\n2|new2|none|<null>\n3|new3|none|<null>\n4|a4|n4|4\n");
}

TEST_F(ImportTest, KeysAndColumnsFromThePackageNeverBecomeSql)
{
    const std::string topics = rows("select count(*) from FORUM_TOPICS");
    makeSqlitePackage(path("hostile.sqlite"),
                      std::string(kEmptyForumTables) +
                          "CREATE TABLE T2 (TOPIC_ID VARCHAR(20), T_SUBJECT VARCHAR(100));"
                          "INSERT INTO T2 VALUES ('0 or 1=1', 'x'), ('1''2', 'quote'), ('1001', 'text key');"
                          "CREATE TABLE T3 (TOPIC_ID INTEGER, \"T_SUBJECT) select 1,2 --\" VARCHAR(9));"
                          "INSERT INTO T3 VALUES (1, 'a');");
    package.setConnectionText(path("hostile.sqlite"));
    package.open();
    ExecuteSQL("CREATE TABLE T2 (TOPIC_ID INTEGER, T_SUBJECT VARCHAR(100))", &archive);
    ExecuteSQL("INSERT INTO T2 SELECT TOPIC_ID, T_SUBJECT FROM FORUM_TOPICS", &archive);
    MergeTable("T2", "TOPIC_ID", archive, package, host);
    EXPECT_EQ(rows("select count(*) from T2"), std::to_string(std::stoi(topics) + 2) + "\n");
    EXPECT_EQ(rows("select T_SUBJECT from T2 where TOPIC_ID = 1001"), "text key\n");
    try {
        MergeTable("T3", "TOPIC_ID", archive, package, host);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_NE(e.utf8().find("T_SUBJECT) select"), std::string::npos) << e.utf8();
    }
}

TEST_F(ImportTest, RecordTitleFromTheFileName)
{
    struct Case {
        const char *fileName;
        const char *recorded; // UTF-8; empty: nothing recorded
    };
    const Case cases[] = {
        {"2004W05.mdb", ""}, // the archive holds 2004年05週 already
        {"2004W04.mdb", ""}, // a record with text after the key counts
        {"2004W5.mdb", "2004年5.週"},
        {"2004W'7.mdb", "2004年'7週"},
        {"2004W10", "2004年10週"},
        {"2004w11.mdb", ""},
        {"TEMP.MDB", ""},
        {"velm.mdb", ""},
        {"04W12", ""},
        {"093005042_TMP.mdb", ""},
    };
    for (const Case &c : cases) {
        makeSqlitePackage(path(c.fileName), kEmptyForumTables);
        const std::string before = table("UPDATELOG");
        ImportPackage(path(c.fileName), archive, package, host);
        const std::string added =
            std::string(c.recorded).empty() ? "" : c.recorded + std::string("|2004/03/21 14:05:09\n");
        EXPECT_EQ(table("UPDATELOG").size(), before.size() + added.size()) << c.fileName;
        if (*c.recorded) {
            const std::string title = fromCp950(QuoteDoubled(toCp950(c.recorded)));
            EXPECT_EQ(rows("select * from UPDATELOG where UPD_TITLE = '" + title + "'"), added) << c.fileName;
        }
    }
    ExecuteSQL("DROP TABLE UPDATELOG", &archive);
    ImportPackage(path("2004W5.mdb"), archive, package, host);
    EXPECT_EQ(table("UPDATELOG"), "2004年5.週|2004/03/21 14:05:09\n") << "made again when missing";
}

// What the window asks about before importing: a package whose week UPDATELOG records already.
TEST_F(ImportTest, RecordedPackageTitleMatchesAsTheRecordDoes)
{
    const std::pair<const char *, const char *> cases[] = {
        {"2004W05.VLP", "2004年05週"}, {"dir/2004W05.mdb", "2004年05週"},
        {"2004W04.vlp", "2004年04週"}, // recorded with text after the week
        {"2004W06.VLP", ""},           {"TEMP.MDB", ""},
    };
    for (const auto &[fileName, title] : cases)
        EXPECT_EQ(fromCp950(RecordedPackageTitle(path(fileName), archive)), title) << fileName;

    const std::string chosen = fixture("2004W06.VLP", "2004W06.VLP");
    package.setConnectionText(chosen);
    ASSERT_TRUE(ImportChosenPackage(archive, package, host));
    EXPECT_EQ(fromCp950(RecordedPackageTitle(chosen, archive)), "2004年06週");

    ExecuteSQL("DROP TABLE UPDATELOG", &archive);
    EXPECT_EQ(RecordedPackageTitle(chosen, archive), "");
}

TEST_F(ImportTest, ChosenPackageIsExpandedBesideItself)
{
    std::filesystem::create_directory(path("old.vlp.files"));
    const std::string chosen = fixture("2004W06.VLP", "old.vlp.files/2004W06.VLP");
    package.setConnectionText(chosen);
    ASSERT_TRUE(ImportChosenPackage(archive, package, host));
    EXPECT_TRUE(std::filesystem::exists(path("old.vlp.files/2004W06.mdb")));
    EXPECT_EQ(rows("select count(*) from UPDATELOG where UPD_TITLE = '2004年06週'"), "1\n");

    const std::string members = table("FORUM_MEMBERS");
    const std::string damaged = path("2004W12.vlp");
    std::ofstream(damaged, std::ios::binary) << std::string("\x10\0\0\0", 4) + " not a zlib stream";
    package.setConnectionText(damaged);
    EXPECT_FALSE(ImportChosenPackage(archive, package, host));
    EXPECT_FALSE(std::filesystem::exists(path("2004W12.mdb")));
    EXPECT_EQ(table("FORUM_MEMBERS"), members);
}

TEST_F(ImportTest, SecondImportWhileOneRunsIsRefused)
{
    makeSqlitePackage(path("inner.sqlite"), kEmptyForumTables);
    int refused = 0;
    host.onEvents = [&] {
        try {
            Connection other(Connection::Mode::Package);
            ImportPackage(path("inner.sqlite"), archive, other, host);
        } catch (const Error &) {
            ++refused;
        }
    };
    ImportPackage(fixture("2004W06.mdb", "2004W06.mdb"), archive, package, host);
    EXPECT_EQ(refused, host.eventRuns);
    EXPECT_EQ(rows("select M_NAME from FORUM_MEMBERS where MEMBER_ID = 3"), "alice_new\n");
}
