// The index's tokens never miss a text that LIKE finds, and the index follows every writer exactly.
#include "textindex/text_index.h"
#include "textindex/text_tokens.h"

#include "sqlite/sqlite_db.h"
#include "sqlite/testing/test_db.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <random>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

using namespace velm;
using namespace velm::textindex;

namespace {

std::vector<std::string> tokensOf(const std::string &text, TokenSet set)
{
    std::vector<std::string> tokens;
    forEachToken(text, set, [&](std::string_view token) { tokens.emplace_back(token); });
    return tokens;
}

using Tokens = std::vector<std::string>;

TEST(TextTokens, RunsGivePiecesOfTheirKind)
{
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        std::string text;
        Tokens text3, subject;
    } cases[] = {
        {"Delphi", {"del", "elp", "lph", "phi"}, {"de", "el", "del", "lp", "elp", "ph", "lph", "hi", "phi"}},
        {"資料庫", {"資料", "料庫"}, {"資料", "料庫"}},
        {"RS-232 a資料", {"232", "資料"}, {"rs", "23", "32", "232", "資料"}},
        {"資，料「庫」 x", {}, {}}, // full-width punctuation breaks runs; one character gives nothing
        // An overlong form and a surrogate read as U+FFFD, as LIKE reads them.
        {"\xC1\x81\xED\xA0\x80", {replacement + replacement}, {replacement + replacement}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tokensOf(c.text, TokenSet::Text), c.text3) << c.text;
        EXPECT_EQ(tokensOf(c.text, TokenSet::Subject), c.subject) << c.text;
    }
}

// Texts made of characters that LIKE tells apart or takes as equal in different spellings: for every
// stretch of every text, written any equal way, LIKE finds it and its tokens are tokens of the text.
TEST(TextTokens, EveryTokenOfAKeywordIsATokenOfEveryTextHoldingIt)
{
    const std::vector<std::vector<std::string>> spellings = {
        {"a", "A"}, {"Z", "z"}, {"7"},  {"q", "Q"}, {" "},
        {"%"},      {"_"},      {"'"},  {"\\"},     {"資"},
        {"料"},     {"庫"},     {"，"}, {"é"},      {"\xEF\xBF\xBD", "\xC1\x81", "\xED\xA0\x80"},
    };
    sqlite::DatabasePtr db = sqlite::open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY);
    const sqlite::StatementPtr like = sqlite::prepare(db.get(), "SELECT ?1 LIKE ?2 ESCAPE '\\'");
    std::mt19937 random(20);
    int checked = 0;
    for (int round = 0; round < 40; ++round) {
        std::vector<std::size_t> picks(24);
        std::string text;
        for (std::size_t &pick : picks) {
            pick = random() % spellings.size();
            text += spellings[pick][random() % spellings[pick].size()];
        }
        for (const TokenSet set : {TokenSet::Text, TokenSet::Subject}) {
            const Tokens all = tokensOf(text, set);
            const std::set<std::string> held(all.begin(), all.end());
            for (std::size_t from = 0; from < picks.size(); ++from)
                for (std::size_t length = 1; length <= 8 && from + length <= picks.size(); ++length) {
                    std::string keyword, pattern = "%";
                    for (std::size_t i = from; i < from + length; ++i) {
                        const auto &ways = spellings[picks[i]];
                        const std::string &way = ways[random() % ways.size()];
                        keyword += way;
                        pattern += (way == "%" || way == "_" || way == "\\" ? "\\" : "") + way;
                    }
                    sqlite3_reset(like.get());
                    sqlite3_bind_text(like.get(), 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
                    pattern += "%";
                    sqlite3_bind_text(like.get(), 2, pattern.data(), static_cast<int>(pattern.size()), SQLITE_STATIC);
                    ASSERT_EQ(sqlite3_step(like.get()), SQLITE_ROW);
                    ASSERT_EQ(sqlite3_column_int(like.get(), 0), 1) << text << " / " << keyword;
                    for (const std::string &token : keywordTokens(keyword, set))
                        ASSERT_TRUE(held.count(token)) << text << " / " << keyword << ": " << token;
                    ++checked;
                }
        }
    }
    EXPECT_GT(checked, 10000);
}

constexpr const char *kSchema = "CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, T_SUBJECT VARCHAR(100), T_MESSAGE "
                                "LONGTEXT);"
                                "CREATE TABLE FORUM_REPLY (TOPIC_ID INTEGER, R_MESSAGE LONGTEXT);";

class TextIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.filePath("archive.sqlite").toStdString();
        outside.exec(kSchema);
        outside.exec("PRAGMA journal_mode=WAL");
        db = sqlite::open(path, SQLITE_OPEN_READWRITE);
        sqlite3_busy_timeout(db.get(), 10000);
    }

    void write(const std::string &sql)
    {
        outside.exec(sql);
        // Every text ever written, so that tokens that went are checked as well.
        for (const std::string &text : outside.column("SELECT T_SUBJECT FROM FORUM_TOPICS UNION SELECT T_MESSAGE "
                                                      "FROM FORUM_TOPICS UNION SELECT R_MESSAGE FROM FORUM_REPLY"))
            for (const TokenSet set : {TokenSet::Text, TokenSet::Subject})
                for (const std::string &token : tokensOf(text, set))
                    vocabulary.insert(token);
    }

    // The rowids a subquery gives, and those whose current text holds the token.
    std::set<std::int64_t> rowids(const std::string &sql)
    {
        std::set<std::int64_t> ids;
        const sqlite::StatementPtr rows = sqlite::prepare(db.get(), sql);
        while (sqlite3_step(rows.get()) == SQLITE_ROW)
            ids.insert(sqlite3_column_int64(rows.get(), 0));
        return ids;
    }
    std::set<std::int64_t> holding(const std::string &token, Text text)
    {
        const char *sql = text == Text::Subject        ? "SELECT rowid, T_SUBJECT FROM FORUM_TOPICS"
                          : text == Text::TopicMessage ? "SELECT rowid, T_MESSAGE FROM FORUM_TOPICS"
                                                       : "SELECT rowid, R_MESSAGE FROM FORUM_REPLY";
        std::set<std::int64_t> ids;
        const sqlite::StatementPtr rows = sqlite::prepare(db.get(), sql);
        while (sqlite3_step(rows.get()) == SQLITE_ROW) {
            const std::string content = sqlite::columnText(rows.get(), 1);
            for (const std::string &t : tokensOf(content, text == Text::Subject ? TokenSet::Subject : TokenSet::Text))
                if (t == token)
                    ids.insert(sqlite3_column_int64(rows.get(), 0));
        }
        return ids;
    }

    // Before a catch-up the candidates hold every row with the token; after one, exactly those.
    void expectIndexFollows(bool exact)
    {
        ASSERT_TRUE(usable(db.get()));
        for (const Text text : {Text::Subject, Text::TopicMessage, Text::ReplyMessage})
            for (const std::string &token : vocabulary) {
                const auto candidates = candidateRowids(text, {token}, true);
                if (!candidates) // a two-letter piece is a token of subjects only
                    continue;
                const std::set<std::int64_t> found = rowids(*candidates), expected = holding(token, text);
                if (exact)
                    EXPECT_EQ(found, expected) << token << " in " << static_cast<int>(text);
                else
                    EXPECT_TRUE(std::includes(found.begin(), found.end(), expected.begin(), expected.end()))
                        << token << " in " << static_cast<int>(text);
            }
    }

    QTemporaryDir dir;
    std::string path;
    test::Db outside{dir.filePath("archive.sqlite").toStdString(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE};
    sqlite::DatabasePtr db;
    std::set<std::string> vocabulary;
};

// Writers without the tokenizer change rows before, behind and within the build, reuse rowids and move
// rows; the candidates never miss a row, and after a catch-up the index holds exactly the current texts.
TEST_F(TextIndexTest, FollowsEveryWriterExactly)
{
    write("INSERT INTO FORUM_TOPICS VALUES (1, 'Delphi 資料庫', 'TClientSocket 連線'), (2, 'BCB', 'Thread 同步'),"
          "(3, '元件', NULL), (4, 'Kylix 安裝', 'rpm 套件');"
          "INSERT INTO FORUM_REPLY VALUES (1, 'ReadString 讀取'), (2, '同步 Synchronize'), (4, 'glibc 版本');");
    create(db.get());
    EXPECT_FALSE(usable(db.get()));
    EXPECT_FALSE(buildStep(db.get(), 2));
    // Rows the build has passed, and rows it has not reached.
    write("UPDATE FORUM_TOPICS SET T_SUBJECT = 'Delphi 元件庫' WHERE rowid = 1;"
          "DELETE FROM FORUM_TOPICS WHERE rowid = 2; UPDATE FORUM_TOPICS SET T_MESSAGE = 'VCL 原始碼' WHERE rowid = 4;"
          "INSERT INTO FORUM_REPLY VALUES (3, '資料表 Table');");
    while (!buildStep(db.get(), 2)) {
        write("INSERT INTO FORUM_TOPICS VALUES (9, 'Socket 範例', 'TServerSocket 範例');");
    }
    expectIndexFollows(true);

    write(
        "DELETE FROM FORUM_TOPICS WHERE rowid = (SELECT max(rowid) FROM FORUM_TOPICS);"
        "INSERT INTO FORUM_TOPICS VALUES (10, '資料庫連線', 'ADO 連線字串');" // takes the rowid that went
        "UPDATE FORUM_TOPICS SET rowid = 100 WHERE rowid = 3; UPDATE FORUM_REPLY SET R_MESSAGE = NULL WHERE rowid = 1;"
        "UPDATE FORUM_REPLY SET R_MESSAGE = '同步 Synchronize' WHERE rowid = 2;"); // unchanged text
    EXPECT_EQ(status(db.get()).pending, 6);
    expectIndexFollows(false);
    catchUp(db.get());
    EXPECT_EQ(status(db.get()).pending, 0);
    expectIndexFollows(true);
}

// A build killed in the middle of a step leaves the index as the last finished step made it, and goes on.
TEST_F(TextIndexTest, KilledBuildGoesOn)
{
    std::string rows;
    for (int i = 1; i <= 60; ++i)
        rows += (i > 1 ? "," : "") + ("(" + std::to_string(i) + ", '主題" + std::to_string(i) + " Delphi', 'Message " +
                                      std::to_string(i * 7) + " 內容')");
    write("INSERT INTO FORUM_TOPICS VALUES " + rows +
          "; INSERT INTO FORUM_REPLY SELECT TOPIC_ID, T_MESSAGE FROM FORUM_TOPICS;");
    create(db.get());
    ASSERT_FALSE(buildStep(db.get(), 25));
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite::DatabasePtr own = sqlite::open(path, SQLITE_OPEN_READWRITE);
        // Killed once the step has written part of its rows.
        sqlite3_progress_handler(
            own.get(), 10,
            [](void *) -> int {
                static int calls = 0;
                if (++calls == 30)
                    ::raise(SIGKILL);
                return 0;
            },
            nullptr);
        buildStep(own.get(), 25);
        ::_exit(0);
    }
    int wstatus = 0;
    ASSERT_EQ(::waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFSIGNALED(wstatus));
    EXPECT_EQ(status(db.get()).rowsDone, 25);
    while (!buildStep(db.get(), 25)) {
    }
    const Status done = status(db.get());
    EXPECT_TRUE(done.complete);
    EXPECT_EQ(done.rowsDone, 120);
    EXPECT_EQ(done.rowsTotal, 120);
    expectIndexFollows(true);
}

// An index whose trigger went (an outside tool rebuilt a table) is not used, and is made again.
TEST_F(TextIndexTest, BrokenIndexIsNotUsedAndIsMadeAgain)
{
    write("INSERT INTO FORUM_TOPICS VALUES (1, 'Delphi', 'x');");
    create(db.get());
    while (!buildStep(db.get(), 10)) {
    }
    ASSERT_TRUE(usable(db.get()));
    outside.exec("DROP TRIGGER VELM_INDEX_REPLY_UPDATE");
    EXPECT_FALSE(usable(db.get()));
    EXPECT_FALSE(status(db.get()).complete);
    create(db.get());
    EXPECT_FALSE(status(db.get()).complete);
    EXPECT_EQ(status(db.get()).rowsDone, 0);
    drop(db.get());
    EXPECT_FALSE(status(db.get()).present);
    EXPECT_EQ(outside.text("SELECT count(*) FROM sqlite_master WHERE name LIKE 'VELM_INDEX%'"), "0");
}

} // namespace
