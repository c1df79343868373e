#include "sqlite/sqlite_db.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velm;
using namespace velm::sqlite;

namespace {

DatabasePtr memory()
{
    DatabasePtr db = open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY);
    execute(db.get(), "CREATE TABLE T (N INTEGER, S TEXT)");
    return db;
}

long long count(sqlite3 *db)
{
    const StatementPtr statement = prepare(db, "select count(*) from T");
    return sqlite3_step(statement.get()) == SQLITE_ROW ? sqlite3_column_int64(statement.get(), 0) : -1;
}

} // namespace

TEST(Sqlite, FailuresCarrySqlitesMessage)
{
    const DatabasePtr db = memory();
    try {
        execute(db.get(), "insert into NOWHERE values (1)");
        FAIL() << "no failure";
    } catch (const Error &e) {
        EXPECT_EQ(e.utf8(), "no such table: NOWHERE");
    }
    EXPECT_THROW(prepare(db.get(), "select from"), Failure);
    EXPECT_FALSE(executeQuietly(db.get(), "drop table NOWHERE"));
    EXPECT_TRUE(executeQuietly(db.get(), "insert into T values (1, 'a')"));
    QTemporaryDir dir;
    EXPECT_THROW(open(dir.filePath("no/such/folder.sqlite").toStdString(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE),
                 Failure);
}

TEST(Sqlite, TransactionsAndSavepointsUndoThemselvesUnlessFinished)
{
    const DatabasePtr db = memory();
    {
        Transaction kept(db.get(), Transaction::Kind::Immediate);
        execute(db.get(), "insert into T values (1, 'kept')");
        {
            Savepoint undone(db.get(), "inner one");
            execute(db.get(), "insert into T values (2, 'undone')");
        }
        Savepoint released(db.get(), "x\"y");
        execute(db.get(), "insert into T values (3, 'released')");
        released.release();
        kept.commit();
    }
    EXPECT_EQ(count(db.get()), 2);
    {
        Transaction dropped(db.get());
        execute(db.get(), "delete from T");
    }
    EXPECT_EQ(count(db.get()), 2);
    // A savepoint alone is a transaction of its own.
    Savepoint alone(db.get(), "alone");
    execute(db.get(), "delete from T");
    alone.rollBack();
    EXPECT_FALSE(alone.open());
    EXPECT_EQ(count(db.get()), 2);
}

TEST(Sqlite, NamesAndTexts)
{
    const DatabasePtr db = memory();
    EXPECT_EQ(quoteIdentifier("a\"b c"), "\"a\"\"b c\"");
    EXPECT_TRUE(tableExists(db.get(), "t"));
    EXPECT_FALSE(tableExists(db.get(), "T'; drop table T; --"));
    execute(db.get(), "insert into T values (1, 'a' || char(0) || 'b'), (2, null)");
    const StatementPtr statement = prepare(db.get(), "select S from T order by N");
    ASSERT_EQ(sqlite3_step(statement.get()), SQLITE_ROW);
    EXPECT_EQ(columnText(statement.get(), 0), std::string("a\0b", 3));
    ASSERT_EQ(sqlite3_step(statement.get()), SQLITE_ROW);
    EXPECT_EQ(columnText(statement.get(), 0), "");
}
