// The fixtures converted to SQLite and loaded into memory, compared with libmdb's own reading (mdb-export).
#include "archive/jet/jet_reader.h"
#include "archive/jet/tests/test_support.h"
#include "base/cp950.h"
#include "base/error.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace velm;
using namespace velm::jet;
using namespace velm::jet::testing;

namespace {

const std::string kFixtures[] = {"archive-small.mdb", "2004W06.mdb", "pkg-extra-column.mdb", "pkg-no-reply-table.mdb"};

const TableData &tableNamed(const std::vector<TableData> &tables, const std::string &name)
{
    for (const TableData &table : tables)
        if (table.name == name)
            return table;
    throw std::runtime_error("no table " + name);
}

// The row whose first column holds id.
const std::vector<Cell> &rowWithId(const TableData &table, std::int64_t id)
{
    for (const std::vector<Cell> &row : table.rows)
        if (row[0].integer == id)
            return row;
    throw std::runtime_error("no row " + std::to_string(id) + " in " + table.name);
}

std::size_t column(const TableData &table, const std::string &name)
{
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i] == name)
            return i;
    throw std::runtime_error("no column " + name + " in " + table.name);
}

std::size_t codePoints(const std::string &utf8)
{
    std::size_t count = 0;
    for (unsigned char c : utf8)
        count += (c & 0xC0) != 0x80;
    return count;
}

std::string toGbk(const std::string &utf8)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter *gbk = ucnv_open("GBK", &status);
    std::string out(utf8.size() * 2 + 8, '\0');
    const int32_t length = ucnv_fromAlgorithmic(gbk, UCNV_UTF8, out.data(), int32_t(out.size()), utf8.data(),
                                                int32_t(utf8.size()), &status);
    ucnv_close(gbk);
    if (U_FAILURE(status))
        throw std::runtime_error("GBK conversion failed");
    out.resize(std::size_t(length));
    return out;
}

class FixtureRoutes : public ::testing::TestWithParam<std::tuple<std::string, Route>> {};

} // namespace

TEST_P(FixtureRoutes, EveryTableColumnAndRowAsLibmdbReadsThem)
{
    const auto &[fixture, route] = GetParam();
    ScratchFolder folder;
    const std::string mdb = copyFixture(folder, fixture);
    const std::string before = readBytes(mdb);
    const std::vector<TableData> tables = readThrough(route, folder, mdb);
    expectSameAsLibmdb(mdb, tables);
    EXPECT_EQ(readBytes(mdb), before) << "the source file was changed";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureRoutes,
                         ::testing::Combine(::testing::ValuesIn(kFixtures),
                                            ::testing::Values(Route::ConvertFile, Route::OpenCopy)),
                         [](const auto &info) {
                             std::string name = std::get<0>(info.param);
                             name = name.substr(0, name.find('.'));
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name + "_" + routeName(std::get<1>(info.param));
                         });

class ArchiveSmall : public ::testing::TestWithParam<Route> {
protected:
    void SetUp() override { m_tables = readThrough(GetParam(), m_folder, copyFixture(m_folder, "archive-small.mdb")); }
    const TableData &table(const std::string &name) const { return tableNamed(m_tables, name); }

    ScratchFolder m_folder;
    std::vector<TableData> m_tables;
};

TEST_P(ArchiveSmall, LongPostArrivesWhole)
{
    const TableData &topics = table("FORUM_TOPICS");
    const Cell &message = rowWithId(topics, 1016)[column(topics, "T_MESSAGE")];
    ASSERT_EQ(message.type, SQLITE_TEXT);
    EXPECT_EQ(codePoints(message.text), 57500u);
    EXPECT_EQ(message.text.size(), 137500u);
}

TEST_P(ArchiveSmall, GbCodedTextKeepsItsBytes)
{
    const TableData &topics = table("FORUM_TOPICS");
    const Cell &subject = rowWithId(topics, 1004)[column(topics, "T_SUBJECT")];
    EXPECT_EQ(toCp950(subject.text), toGbk("如何用Delphi连接数据库"));

    // Every GB-coded post survives the way back to code page 950 without a substituted character.
    int checked = 0;
    for (const auto &[name, code, text] : {std::tuple{"FORUM_TOPICS", "T_CODESYSTEM", "T_MESSAGE"},
                                           std::tuple{"FORUM_REPLY", "R_CODESYSTEM", "R_MESSAGE"}}) {
        const TableData &posts = table(name);
        for (const std::vector<Cell> &row : posts.rows) {
            if (row[column(posts, code)].integer != 1)
                continue;
            const std::string &utf8 = row[column(posts, text)].text;
            EXPECT_EQ(fromCp950(toCp950(utf8)), utf8) << name;
            ++checked;
        }
    }
    EXPECT_GE(checked, 2);
}

TEST_P(ArchiveSmall, NullsEmptiesAndBlanksStayApart)
{
    const TableData &members = table("FORUM_MEMBERS");
    const TableData &topics = table("FORUM_TOPICS");
    const TableData &replies = table("FORUM_REPLY");
    struct Expectation {
        const TableData *table;
        std::int64_t id;
        std::optional<std::int64_t> second;
        const char *column;
        int type;
        const char *text;
    };
    const Expectation expectations[] = {
        {&members, 3, {}, "M_JOINED", SQLITE_NULL, ""},
        {&members, 1, {}, "M_JOINED", SQLITE_TEXT, "2001-05-01 00:00:00"},
        {&topics, 1006, {}, "T_FILENAME", SQLITE_NULL, ""},
        {&topics, 1006, {}, "T_FILESIZE", SQLITE_NULL, ""},
        {&topics, 1006, {}, "T_CODESYSTEM", SQLITE_NULL, ""},
        {&topics, 1015, {}, "T_SUBJECT", SQLITE_TEXT, ""},
        {&topics, 1015, {}, "T_DATE", SQLITE_TEXT, ""},
        {&topics, 1003, {}, "T_GOOD", SQLITE_TEXT, "y"},
        {&topics, 1011, {}, "T_SUBJECT", SQLITE_TEXT, nullptr},
        {&replies, 1003, 2, "R_CODESYSTEM", SQLITE_NULL, ""},
        {&replies, 1006, 2, "R_CODESYSTEM", SQLITE_INTEGER, ""},
    };
    for (const Expectation &e : expectations) {
        SCOPED_TRACE(e.table->name + " " + std::to_string(e.id) + " " + e.column);
        // Replies are keyed (TOPIC_ID, REPLY_ID), which is their second and first column.
        const bool reply = e.table == &replies;
        const std::vector<Cell> *found = nullptr;
        for (const std::vector<Cell> &row : e.table->rows)
            if (reply ? row[1].integer == e.id && row[0].integer == *e.second : row[0].integer == e.id)
                found = &row;
        ASSERT_NE(found, nullptr);
        const Cell &cell = (*found)[column(*e.table, e.column)];
        EXPECT_EQ(cell.type, e.type);
        if (e.type == SQLITE_TEXT && e.text) {
            EXPECT_EQ(cell.text, e.text);
        }
    }
    const Cell &blanks = rowWithId(topics, 1003)[column(topics, "T_FILENAME")];
    ASSERT_EQ(blanks.type, SQLITE_TEXT);
    EXPECT_FALSE(blanks.text.empty());
    EXPECT_EQ(blanks.text.find_first_not_of(' '), std::string::npos);
    EXPECT_NE(rowWithId(topics, 1011)[column(topics, "T_SUBJECT")].text.find("it's"), std::string::npos);
}

TEST_P(ArchiveSmall, ColumnsDeclaredAsTheArchiveSchema)
{
    // The archive schema kept with the demo data uses the same type names for the same fields.
    const std::string schemaPath = VELM_ARCHIVE_SCHEMA;
    std::ifstream schemaFile(schemaPath);
    if (!schemaFile)
        GTEST_SKIP() << "no archive schema at " << schemaPath;
    const sqlite::DatabasePtr schema = sqlite::open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY);
    sqlite::execute(schema.get(), readBytes(schemaPath));
    for (const TableData &expected : readDatabase(schema.get())) {
        SCOPED_TRACE(expected.name);
        const TableData &ours = table(expected.name);
        EXPECT_EQ(ours.columns, expected.columns);
        EXPECT_EQ(ours.declarations, expected.declarations);
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, ArchiveSmall, ::testing::Values(Route::ConvertFile, Route::OpenCopy),
                         [](const auto &info) { return routeName(info.param); });

TEST(ConvertFile, ReportsEachTableAndLetsTheWindowRepaint)
{
    for (Route route : {Route::ConvertFile, Route::OpenCopy}) {
        ScratchFolder folder;
        SilentProgress progress;
        readThrough(route, folder, copyFixture(folder, "archive-small.mdb"), &progress);
        EXPECT_EQ(progress.minimum(), 0);
        EXPECT_EQ(progress.maximum(), 6);
        EXPECT_EQ(progress.position(), 6);
        EXPECT_EQ(progress.caption(), toCp950("轉換資料表 UPDATELOG"));
        EXPECT_GE(progress.eventRuns(), 6);
    }
}

TEST(ConvertFile, FinishRunsOnTheOpenDatabaseBeforeTheRename)
{
    ScratchFolder folder;
    const std::string mdb = copyFixture(folder, "archive-small.mdb");
    const std::string target = folder.file("archive-small.sqlite");
    bool ran = false;
    convertFile(mdb, target, nullptr, [&](sqlite3 *db) {
        ran = true;
        EXPECT_FALSE(std::filesystem::exists(target));
        sqlite::execute(db, "CREATE INDEX IX_REPLY ON FORUM_REPLY (TOPIC_ID, REPLY_ID)");
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"archive-small.mdb", "archive-small.sqlite"}));
    const sqlite::DatabasePtr db = sqlite::open(target, SQLITE_OPEN_READONLY);
    const sqlite::StatementPtr index =
        sqlite::prepare(db.get(), "SELECT count(*) FROM sqlite_master WHERE name = 'IX_REPLY'");
    ASSERT_EQ(sqlite3_step(index.get()), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(index.get(), 0), 1);
    const sqlite::StatementPtr check = sqlite::prepare(db.get(), "PRAGMA integrity_check");
    ASSERT_EQ(sqlite3_step(check.get()), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(check.get(), 0)), "ok");
}

TEST(ConvertFile, FailingFinishLeavesNothingBehind)
{
    ScratchFolder folder;
    const std::string mdb = copyFixture(folder, "archive-small.mdb");
    EXPECT_THROW(
        convertFile(mdb, folder.file("archive-small.sqlite"), nullptr, [](sqlite3 *) { raiseUtf8("索引建立失敗"); }),
        Error);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"archive-small.mdb"});
}

TEST(ConvertFile, NeverReplacesAFinishedConversion)
{
    ScratchFolder folder;
    const std::string target = folder.file("archive.sqlite");
    writeBytes(target, "older conversion");
    writeBytes(folder.file("damaged.mdb"), readBytes(fixturePath("archive-small.mdb")).substr(0, 4096 * 40));
    EXPECT_THROW(convertFile(folder.file("damaged.mdb"), target, nullptr, {}), Error);
    EXPECT_EQ(readBytes(target), "older conversion");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"archive.sqlite", "damaged.mdb"}));

    // A conversion that succeeds still leaves an existing file alone: it may hold imports of its own.
    EXPECT_THROW(convertFile(copyFixture(folder, "2004W06.mdb"), target, nullptr, {}), Error);
    EXPECT_EQ(readBytes(target), "older conversion");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"2004W06.mdb", "archive.sqlite", "damaged.mdb"}));

    // Making way first is the caller's part.
    convertFile(folder.file("2004W06.mdb"), target, nullptr, {}, [&] { fs::rename(target, target + ".old"); });
    EXPECT_EQ(readDatabase(target).size(), 5u);
    EXPECT_EQ(readBytes(target + ".old"), "older conversion");
}

TEST(OpenCopy, HoldsTheTablesForItsConnectionAloneAndOnlyReads)
{
    ScratchFolder folder;
    const std::string mdb = copyFixture(folder, "2004W06.mdb");
    const sqlite::DatabasePtr copy = openCopy(mdb, nullptr);
    EXPECT_EQ(tableNamed(readDatabase(copy.get()), "FORUM_MEMBERS").rows.size(), 2u);
    // The copy has no name while the connection reads it: nothing is left however the process ends.
    EXPECT_EQ(ownTemporaryFiles(), std::vector<std::string>{});
    EXPECT_FALSE(sqlite::executeQuietly(copy.get(), "DELETE FROM FORUM_MEMBERS"));
    EXPECT_EQ(tableNamed(readDatabase(copy.get()), "FORUM_MEMBERS").rows.size(), 2u);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"2004W06.mdb"});
}

TEST(ConvertFile, TheLargeArchiveAsLibmdbReadsIt)
{
    // The large archive is too big for the repository: it is checked when $VELM_BENCH_PACKAGE names it.
    const char *given = std::getenv("VELM_BENCH_PACKAGE");
    const std::string package = given ? given : "";
    if (package.empty() || !fs::is_regular_file(package))
        GTEST_SKIP() << "no large archive (set VELM_BENCH_PACKAGE to big-archive.VLP)";
    ScratchFolder folder;
    const std::string mdb = folder.file("big-archive.mdb");
    expandPackage(package, mdb);
    const std::string target = folder.file("big-archive.sqlite");
    convertFile(mdb, target, nullptr, {});
    const sqlite::DatabasePtr db = sqlite::open(target, SQLITE_OPEN_READONLY);
    const std::vector<std::string> names = referenceTables(mdb);
    ASSERT_EQ(names.size(), 5u);
    // Table by table, so that only one table and its reference are held at a time.
    for (const std::string &name : names)
        expectTableSameAsLibmdb(mdb, readTable(db.get(), name));
}

TEST(ConvertFile, OutputThatCannotBeWrittenIsNamed)
{
    ScratchFolder folder;
    const std::string mdb = copyFixture(folder, "2004W06.mdb");
    const std::string target = folder.file("no-such-folder/2004W06.sqlite");
    try {
        convertFile(mdb, target, nullptr, {});
        FAIL() << "converted into a folder that does not exist";
    } catch (const Error &e) {
        EXPECT_EQ(e.utf8().rfind("無法寫入資料庫檔案 " + target, 0), 0u) << e.utf8();
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"2004W06.mdb"});
}

TEST(ConvertFile, AnExceptionFromTheProgressWindowStopsEverything)
{
    // A window's event processing may run a command that ends the job; the helper must not outlive it.
    class CancellingProgress : public SilentProgress {
    public:
        void processEvents() override
        {
            if (++m_calls == 3)
                throw std::runtime_error("cancelled");
        }

    private:
        int m_calls = 0;
    };
    for (Route route : {Route::ConvertFile, Route::OpenCopy}) {
        ScratchFolder folder;
        CancellingProgress progress;
        EXPECT_THROW(readThrough(route, folder, copyFixture(folder, "archive-small.mdb"), &progress),
                     std::runtime_error);
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"archive-small.mdb"});
        int status = 0;
        EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "a child process was left behind";
    }
}
