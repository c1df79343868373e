#include "archive/tests/test_archive.h"

#include "archive/util.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/hooks.h"

#include <gtest/gtest.h>

using namespace velm;

namespace {

class UtilTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const std::string path = test::makeArchive(dir, R"sql(
            INSERT INTO FORUM_MEMBERS VALUES (1, 'alice', '2003-01-15 09:30:12', 1);
            INSERT INTO FORUM_MEMBERS VALUES (6, 'O''Brien', NULL, 0);
            INSERT INTO FORUM_MEMBERS VALUES (7, NULL, NULL, NULL);
            INSERT INTO FORUM_FORUM VALUES (101, 1, '新手入門', NULL);
            INSERT INTO FORUM_FORUM VALUES (102, 1, '進階技巧', '說明');
            INSERT INTO FORUM_FORUM VALUES (103, 2, '資料庫', NULL);
        )sql");
        connection.setConnectionText(path);
        connection.open();
        SetDefaultConnection(&connection);
        hooks::setClipboard([this](const std::string &text) { clipboard = text; });
    }
    void TearDown() override
    {
        SetDefaultConnection(nullptr);
        hooks::setClipboard({});
    }

    QTemporaryDir dir;
    Connection connection;
    std::string clipboard;
};

TEST_F(UtilTest, LookupCountsAndMissingRows)
{
    Value v;
    EXPECT_TRUE(SQLLookup("select Count(*) from FORUM_FORUM ", v));
    EXPECT_EQ(v.kind(), Value::Kind::Integer);
    EXPECT_EQ(v.toInt(), 3);

    v = Value::integer(5);
    EXPECT_FALSE(SQLLookup("select M_NAME from FORUM_MEMBERS where MEMBER_ID=99", v));
    EXPECT_TRUE(v.isEmpty());
    EXPECT_TRUE(SQLValue("select M_NAME from FORUM_MEMBERS where MEMBER_ID=99").isEmpty());
}

TEST_F(UtilTest, LookupOfNullRawAndNotRaw)
{
    Value v;
    // Not raw: a null text column gives empty text and counts as found.
    EXPECT_TRUE(SQLLookup("select M_NAME from FORUM_MEMBERS where MEMBER_ID=7", v, false));
    EXPECT_TRUE(v.isTextual());
    EXPECT_EQ(v.toText(), "");
    // Raw: the null itself, still found.
    EXPECT_TRUE(SQLLookup("select M_NAME from FORUM_MEMBERS where MEMBER_ID=7", v, true));
    EXPECT_TRUE(v.isNull());
    // Defaults by kind: integer, boolean and date-time columns.
    EXPECT_TRUE(SQLLookup("select M_ACTIVE, M_JOINED, MEMBER_ID from FORUM_MEMBERS where MEMBER_ID=7", v));
    ASSERT_EQ(v.kind(), Value::Kind::Array);
    ASSERT_EQ(v.items().size(), 3u);
    EXPECT_EQ(v.items()[0], Value::boolean(false));
    EXPECT_EQ(v.items()[1], Value::real(0));
    EXPECT_EQ(v.items()[2], Value::integer(7));
}

TEST_F(UtilTest, ValuesKeepTheirKinds)
{
    Value v;
    SQLLookup("select M_NAME, M_JOINED, M_ACTIVE from FORUM_MEMBERS where MEMBER_ID=1", v);
    ASSERT_EQ(v.items().size(), 3u);
    EXPECT_EQ(v.items()[0].kind(), Value::Kind::WideText);
    EXPECT_EQ(v.items()[1].kind(), Value::Kind::DateTime);
    EXPECT_EQ(v.items()[1].toUtf8(), "2003/01/15 09:30:12");
    EXPECT_EQ(v.items()[2], Value::boolean(true));
    // Text fields read as code page 950 bytes.
    auto q = OpenQuery("select F_SUBJECT from FORUM_FORUM where FORUM_ID=101");
    EXPECT_EQ(q->field(0).asString(), toCp950("新手入門"));
}

TEST(UtilLiteral, LiteralsByKind)
{
    EXPECT_EQ(SQLLiteral(Value::integer(42)), "42");
    EXPECT_EQ(SQLLiteral(Value::text("abc")), "'abc'");
    EXPECT_EQ(SQLLiteral(Value::null()), "''");
    EXPECT_EQ(SQLLiteral(Value::text("it's")), "'it's'"); // left undoubled, as callers expect
    EXPECT_EQ(SQLLiteral(Value::wide("abc")), "abc");     // wide text stays bare
    EXPECT_EQ(SQLLiteral(Value::boolean(true)), "True");
    EXPECT_EQ(SQLLiteral(Value::dateTime("2004-02-03 04:05:06")), "'2004/02/03 04:05:06'");
    EXPECT_EQ(QuoteDoubled("it's 'x'"), "it''s ''x''");
}

TEST(UtilText, AddBackslashAndCutToken)
{
    EXPECT_EQ(AddBackslash("/tmp/velm"), "/tmp/velm/");
    EXPECT_EQ(AddBackslash("/tmp/velm/"), "/tmp/velm/");
    EXPECT_EQ(AddBackslash(""), "/");

    struct Case {
        const char *delimiters;
        const char *text;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {" ", "  first   second", {"first", "second", ""}},
        {";", "TOPIC_ID;REPLY_ID", {"TOPIC_ID", "REPLY_ID", ""}},
        {";", "A ; B", {"A", "B", ""}},
        {" ", "", {""}},
        {" ", "\xA4\xA4\xA4\xE5 socket", {"\xA4\xA4\xA4\xE5", "socket", ""}},
    };
    for (const Case &c : cases) {
        std::string text = c.text;
        for (const std::string &expected : c.tokens)
            EXPECT_EQ(CutToken(c.delimiters, text), expected) << c.text;
        EXPECT_EQ(text, "") << c.text;
    }
}

TEST(UtilNoConnection, EveryOperationNamesTheMissingConnection)
{
    SetDefaultConnection(nullptr);
    Value v;
    Query q;
    const auto expectMessage = [](auto &&call) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const Error &e) {
            EXPECT_EQ(e.utf8(), "無Connetion 元件");
        }
    };
    expectMessage([&] { OpenQuery("select 1"); });
    expectMessage([&] { ExecuteSQL("select 1"); });
    expectMessage([&] { SQLLookup("select 1", v); });
    expectMessage([&] { SQLValue("select 1"); });
    expectMessage([&] { ReopenQuery(q, "select 1"); });
}

TEST_F(UtilTest, FailingStatementGoesToClipboardAndOneStatementOnly)
{
    EXPECT_THROW(ExecuteSQL("delete from NO_SUCH_TABLE"), Error);
    EXPECT_EQ(clipboard, "delete from NO_SUCH_TABLE");

    // A second statement is refused and nothing of the text runs.
    const std::string twice = "delete from FORUM_FORUM where FORUM_ID=101; delete from FORUM_FORUM";
    EXPECT_THROW(ExecuteSQL(twice), Error);
    EXPECT_EQ(clipboard, twice);
    EXPECT_EQ(SQLValue("select Count(*) from FORUM_FORUM").toInt(), 3);
    // A trailing semicolon alone is one statement.
    EXPECT_NO_THROW(ExecuteSQL("update FORUM_FORUM set CAT_ID=1 where FORUM_ID=103;"));
}

TEST_F(UtilTest, StreamingQueryKeepsOneRowAndReadsOnlyTheChosenColumns)
{
    Query q;
    q.setStreaming(true);
    q.setColumns({"forum_id", "F_SUBJECT"});
    ASSERT_TRUE(ReopenQuery(q, "select * from FORUM_FORUM order by FORUM_ID"));
    EXPECT_EQ(q.fieldCount(), 4);
    EXPECT_EQ(q.field(0).asInteger(), 101);
    EXPECT_EQ(q.fieldByName("F_SUBJECT").asString(), B5("新手入門"));
    EXPECT_TRUE(q.fieldByName("CAT_ID").value().isEmpty()) << "a column not chosen is not read";
    q.next();
    EXPECT_EQ(q.field(0).asInteger(), 102);
    EXPECT_EQ(q.fetchedRows(), 2);
    EXPECT_THROW(q.prior(), Error);
    EXPECT_THROW(q.first(), Error);
    EXPECT_THROW(q.moveTo(0), Error);
    EXPECT_THROW(q.last(), Error);
    EXPECT_EQ(q.field(0).asInteger(), 102) << "a refused move leaves the row";
    q.next();
    q.next();
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.field(0).asInteger(), 103);

    // The choices outlive a new text; opened again, the query starts from its first row.
    ASSERT_TRUE(ReopenQuery(q, "select * from FORUM_FORUM where FORUM_ID > 101 order by FORUM_ID"));
    EXPECT_EQ(q.field(0).asInteger(), 102);
    EXPECT_TRUE(q.fieldByName("F_DESCRIPTION").isNull());
}

TEST_F(UtilTest, CursorMovesBookmarksAndLocate)
{
    Query q;
    int scrolls = 0;
    q.setAfterScroll([&] { ++scrolls; });
    ASSERT_TRUE(ReopenQuery(q, "select FORUM_ID, CAT_ID from FORUM_FORUM order by FORUM_ID"));
    EXPECT_EQ(scrolls, 1);
    EXPECT_TRUE(q.bof());
    EXPECT_FALSE(q.eof());
    EXPECT_EQ(q.fieldByName("forum_id").asInteger(), 101);
    q.next();
    const Query::Bookmark mark = q.bookmark();
    q.last();
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.field(0).asInteger(), 103);
    q.next(); // past the end stays on the last row
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.field(0).asInteger(), 103);
    q.gotoBookmark(mark);
    EXPECT_EQ(q.field(0).asInteger(), 102);
    q.prior();
    q.prior();
    EXPECT_TRUE(q.bof());
    EXPECT_EQ(q.field(0).asInteger(), 101);

    // Locate searches from the first row, not from the current one.
    q.last();
    EXPECT_TRUE(q.locate("CAT_ID", Value::integer(1)));
    EXPECT_EQ(q.field(0).asInteger(), 101);
    EXPECT_FALSE(q.locate("CAT_ID", Value::integer(9)));
    EXPECT_EQ(q.field(0).asInteger(), 101);

    // Parameters by name, and a prepared query run again with a new value.
    q.setSql("select F_SUBJECT from FORUM_FORUM where FORUM_ID=:frm_id");
    q.prepare();
    q.setParam("frm_id", Value::integer(102));
    q.open();
    EXPECT_EQ(q.field(0).asString(), toCp950("進階技巧"));
    q.setParam("frm_id", Value::integer(103));
    q.open();
    EXPECT_EQ(q.field(0).asString(), toCp950("資料庫"));
    q.setParam("frm_id", Value::integer(999));
    q.open();
    EXPECT_TRUE(q.isEmpty());
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.field(0).asString(), "");
}

TEST_F(UtilTest, ClosingTheConnectionClosesItsQueries)
{
    Query q;
    ASSERT_TRUE(ReopenQuery(q, "select * from FORUM_FORUM"));
    connection.close();
    EXPECT_FALSE(q.isOpen());
    EXPECT_THROW(q.next(), Error);
}

TEST_F(UtilTest, LongTextsArriveWhole)
{
    std::string body;
    for (int i = 0; i < 57500; ++i)
        body += "文";
    Query insert(&connection);
    insert.setSql("insert into FORUM_TOPICS (TOPIC_ID, T_MESSAGE) values (:id, :msg)");
    insert.setParam("id", Value::integer(1016));
    insert.setParam("msg", Value::wide(body));
    insert.execSQL();
    auto q = OpenQuery("select T_MESSAGE from FORUM_TOPICS where TOPIC_ID=1016");
    EXPECT_EQ(q->field(0).value().raw().size(), body.size());
    EXPECT_EQ(q->field(0).asString().size(), 115000u);
}

} // namespace
