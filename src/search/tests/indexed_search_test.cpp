// Through the text index both searches give exactly the rows of their composed statements, in the same
// order, for hundreds of keywords drawn from an archive's own text: once built, after an import, and
// after an import killed half-way.
#include "search/indexed_search.h"
#include "search/quick_search.h"
#include "search/search_statement.h"

#include "archive/database.h"
#include "base/cp950.h"
#include "base/progress.h"
#include "packages/package_import.h"
#include "sqlite/testing/test_db.h"
#include "textindex/text_index.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <random>

#include <sys/wait.h>
#include <unistd.h>

using namespace velm;

namespace {

constexpr const char *kSchema = R"sql(
CREATE TABLE FORUM_MEMBERS (MEMBER_ID INTEGER, M_NAME VARCHAR(50) COLLATE NOCASE);
CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_PID INTEGER, CAT_NAME VARCHAR(100) COLLATE NOCASE,
  CAT_ORDER SMALLINT, CAT_KIND SMALLINT);
CREATE TABLE FORUM_FORUM (FORUM_ID INTEGER, CAT_ID INTEGER, F_SUBJECT VARCHAR(100) COLLATE NOCASE);
CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, FORUM_ID INTEGER, CAT_ID INTEGER, T_SUBJECT VARCHAR(100) COLLATE NOCASE,
  T_MESSAGE LONGTEXT COLLATE NOCASE, T_DATE VARCHAR(50) COLLATE NOCASE, T_AUTHOR INTEGER, T_REPLIES INTEGER,
  T_LAST_POST VARCHAR(50) COLLATE NOCASE, T_GOOD VARCHAR(1) COLLATE NOCASE, T_CODESYSTEM SMALLINT);
CREATE TABLE FORUM_REPLY (REPLY_ID INTEGER, TOPIC_ID INTEGER, R_MESSAGE LONGTEXT COLLATE NOCASE, R_AUTHOR INTEGER,
  R_DATE VARCHAR(50) COLLATE NOCASE, R_CODESYSTEM SMALLINT);
CREATE INDEX IX_TOPICS_ID ON FORUM_TOPICS (TOPIC_ID); CREATE INDEX IX_REPLY_ID ON FORUM_REPLY (TOPIC_ID, REPLY_ID);
INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Delphi', 1, 1), (2, 0, '其他', 2, 9);
INSERT INTO FORUM_FORUM VALUES (11, 1, 'Delphi 新手'), (12, 2, '站務');
INSERT INTO FORUM_MEMBERS VALUES (7, 'alice'), (8, 'bob');
)sql";

// Words of a programming forum, with the characters LIKE treats specially and case to fold.
const std::vector<std::string> kWords = {
    "資料",  "資料庫", "連線",   "同步",        "元件",   "程式",   "編譯",   "錯誤",          "中文",
    "亂碼",  "報表",   "，",     "。",          "Delphi", "delphi", "DELPHI", "TClientSocket", "Socket",
    "rs232", "RS-232", "it's",   "100%",        "a_b",    "C:\\",   "%d",     "__init__",      "x",
    "VB",    "BCB",    "Thread", "ShowMessage", "SELECT", "2004",
};
const std::vector<std::string> kGaps = {" ", "", "", "  ", "\n", "，", "'"};

// One word in five is made up, so that some keywords are rare: a number, or a few characters.
const std::vector<std::string> kCharacters = {"天", "地", "玄", "黃", "宇", "宙", "洪", "荒", "日", "月",
                                              "盈", "昃", "辰", "宿", "列", "張", "寒", "來", "暑", "往"};

std::string sentence(std::mt19937 &random, int words)
{
    std::string text;
    for (int i = 0; i < words; ++i) {
        if (random() % 5 == 0) {
            text += random() % 2
                        ? "n" + std::to_string(random() % 100000)
                        : kCharacters[random() % kCharacters.size()] + kCharacters[random() % kCharacters.size()] +
                              kCharacters[random() % kCharacters.size()];
        } else {
            text += kWords[random() % kWords.size()];
        }
        text += kGaps[random() % kGaps.size()];
    }
    return text;
}

std::string quoted(const std::string &text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// Topics from firstId on, with replies; dates give the advanced search's order ties.
std::string forumRows(std::mt19937 &random, int firstId, int topics)
{
    std::string sql;
    for (int id = firstId; id < firstId + topics; ++id) {
        const int forum = random() % 3 ? 11 : 12;
        sql += "INSERT INTO FORUM_TOPICS VALUES (" + std::to_string(id) + ", " + std::to_string(forum) + ", " +
               (forum == 11 ? "1" : "2") + ", " + quoted(sentence(random, 1 + random() % 3)) + ", " +
               (random() % 20 ? quoted(sentence(random, 4 + random() % 12)) : "NULL") + ", '2004" +
               std::to_string(100 + random() % 3) + "000000', " + std::to_string(7 + random() % 2) + ", 0, '2004" +
               std::to_string(200 + random() % 5) + "000000', 'N', 0);\n";
        for (int reply = 0, replies = random() % 4; reply < replies; ++reply)
            sql += "INSERT INTO FORUM_REPLY VALUES (" + std::to_string(reply + 1) + ", " + std::to_string(id) + ", " +
                   quoted(sentence(random, 2 + random() % 10)) + ", 8, '20040301000000', 0);\n";
    }
    return sql;
}

class ImportQuietly final : public ImportHost {
public:
    void setStatusText(const std::string &) override {}
    ProgressSink &progress() override { return m_progress; }
    void processEvents() override
    {
        if (++m_rows == killAfter)
            ::raise(SIGKILL);
    }
    int killAfter = -1;

private:
    SilentProgress m_progress;
    int m_rows = 0;
};

class IndexedSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        write("velm.sqlite",
              std::string("PRAGMA journal_mode=WAL; PRAGMA user_version=1;") + kSchema + forumRows(random, 1, 240));
        archive.setConnectionText(path("velm.sqlite"));
        archive.open();
        textindex::create(archive.handle());
        while (!textindex::buildStep(archive.handle(), 100)) {
        }
    }

    std::string path(const char *name) const { return dir.filePath(name).toStdString(); }
    void write(const char *name, const std::string &sql) const
    {
        test::Db(path(name), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE).exec(sql);
    }

    // Every row of a statement, its fields joined, in the statement's order.
    std::vector<std::string> rowsOf(const std::string &sqlCp950)
    {
        const StatementPtr statement = archive.prepare(sqlCp950);
        std::vector<std::string> rows;
        while (sqlite3_step(statement.get()) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(statement.get()); ++i) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), i));
                row += (text ? text : "<null>") + std::string("|");
            }
            rows.push_back(row);
        }
        return rows;
    }

    // A stretch of one to eight characters of one of the texts, its ASCII letters in any case.
    std::string drawnKeyword(const std::vector<std::string> &texts)
    {
        const std::string &text = texts[random() % texts.size()];
        std::vector<std::string> chars;
        for (std::size_t at = 0; at < text.size();) {
            std::size_t size = 1;
            while (at + size < text.size() && (text[at + size] & 0xC0) == 0x80)
                ++size;
            std::string c = text.substr(at, size);
            if (c.size() == 1 && std::isalpha(static_cast<unsigned char>(c[0])) && random() % 2)
                c[0] = static_cast<char>(std::isupper(static_cast<unsigned char>(c[0])) ? std::tolower(c[0])
                                                                                        : std::toupper(c[0]));
            chars.push_back(c);
            at += size;
        }
        const std::size_t length = 1 + random() % 8;
        const std::size_t from = chars.size() > length ? random() % (chars.size() - length) : 0;
        std::string keyword;
        for (std::size_t i = from; i < std::min(chars.size(), from + length); ++i)
            keyword += chars[i];
        return toCp950(keyword);
    }

    // Both searches for drawn keywords, alone and in pairs, compared with their composed statements.
    void expectSameRows(const char *phase)
    {
        int quick = 0, advanced = 0, scattered = 0;
        std::vector<std::string> keywords = {"%", "_", "'", " ", "100%", "a_b", "it's", "C:\\", "%d", "資料", "Delphi"};
        const std::vector<std::string> texts = test::Db(path("velm.sqlite"))
                                                   .column("SELECT T_SUBJECT FROM FORUM_TOPICS UNION ALL SELECT "
                                                           "T_MESSAGE FROM FORUM_TOPICS WHERE T_MESSAGE IS NOT NULL "
                                                           "UNION ALL SELECT R_MESSAGE FROM FORUM_REPLY");
        while (keywords.size() < 300)
            keywords.push_back(drawnKeyword(texts));
        for (const std::string &keyword : keywords) {
            const auto indexed = IndexedQuickSearchSql(archive.handle(), keyword);
            if (indexed) {
                ++quick;
                scattered += indexed->find("EXISTS") != std::string::npos;
                ASSERT_EQ(rowsOf(*indexed), rowsOf(QuickSearchSql(keyword))) << phase << ": " << fromCp950(keyword);
            }
        }
        for (std::size_t i = 0; i + 1 < keywords.size(); i += 2) {
            SearchChoices choices;
            choices.keywords = keywords[i] + " " + keywords[i + 1];
            choices.mode = static_cast<MatchMode>(i / 2 % 3);
            choices.field = i / 6 % 2 ? SearchField::SubjectOnly : SearchField::All;
            const auto composed = ComposeSearch(choices, std::chrono::year_month_day{}, {}, [](int kind) {
                return kind == 1 || kind == 9 ? std::vector<std::int64_t>{kind == 1 ? 1 : 2}
                                              : std::vector<std::int64_t>{};
            });
            ASSERT_TRUE(composed);
            if (const auto indexed = IndexedAdvancedSearchSql(archive.handle(), *composed)) {
                ++advanced;
                ASSERT_EQ(rowsOf(*indexed), rowsOf(composed->sql())) << phase << ": " << fromCp950(choices.keywords);
            }
        }
        // The index serves most keywords, in both of its forms, and the advanced searches with few candidates.
        EXPECT_GT(quick, 150) << phase;
        EXPECT_GT(scattered, 20) << phase;
        EXPECT_LT(scattered, quick - 20) << phase;
        EXPECT_GT(advanced, 20) << phase;
        std::printf("%s: %d quick searches through the index (%d over most topics), %d advanced\n", phase, quick,
                    scattered, advanced);
    }

    QTemporaryDir dir;
    std::mt19937 random{2004};
    Connection archive;
};

TEST_F(IndexedSearchTest, SameRowsAsTheComposedStatements)
{
    expectSameRows("built");

    // A package replacing some topics and replies and adding others.
    write("2004W10.sqlite", kSchema + forumRows(random, 200, 80));
    Connection packageConnection(Connection::Mode::Package);
    ImportQuietly host;
    ImportPackage(path("2004W10.sqlite"), archive, packageConnection, host);
    EXPECT_EQ(textindex::status(archive.handle()).pending, 0);
    expectSameRows("after an import");

    // An import killed half-way: the archive and its index are as they were.
    const std::string before =
        test::Db(path("velm.sqlite")).text("SELECT count(*) || '/' || sum(length(T_MESSAGE)) FROM FORUM_TOPICS");
    write("2004W10.sqlite",
          "UPDATE FORUM_TOPICS SET T_MESSAGE = 'VCL 原始碼 ' || T_MESSAGE; UPDATE FORUM_TOPICS SET TOPIC_ID = "
          "TOPIC_ID + 100 WHERE TOPIC_ID % 2 = 0");
    const pid_t child = ::fork();
    if (child == 0) {
        Connection own;
        own.setConnectionText(path("velm.sqlite"));
        own.open();
        Connection ownPackage(Connection::Mode::Package);
        ImportQuietly killing;
        killing.killAfter = 60;
        ImportPackage(path("2004W10.sqlite"), own, ownPackage, killing);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(test::Db(path("velm.sqlite")).text("SELECT count(*) || '/' || sum(length(T_MESSAGE)) FROM FORUM_TOPICS"),
              before);
    EXPECT_TRUE(textindex::usable(archive.handle()));
    expectSameRows("after a killed import");
}

} // namespace
