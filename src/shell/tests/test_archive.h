#pragma once
// Small SQLite archives for window tests: the five forum tables, filled by the given statements.
#include <QProcess>
#include <QString>
#include <QTest>

inline void writeTestArchive(const QString &path, const QString &rows)
{
    const QString sql =
        QStringLiteral(
            "CREATE TABLE FORUM_MEMBERS (MEMBER_ID INTEGER, M_NAME VARCHAR(50));"
            "CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_PID INTEGER, CAT_NAME VARCHAR(100), CAT_ORDER SMALLINT,"
            " CAT_KIND SMALLINT);"
            "CREATE TABLE FORUM_FORUM (FORUM_ID INTEGER, CAT_ID INTEGER, F_SUBJECT VARCHAR(100));"
            "CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, FORUM_ID INTEGER, CAT_ID INTEGER, T_SUBJECT VARCHAR(100),"
            " T_MESSAGE LONGTEXT, T_DATE VARCHAR(50), T_AUTHOR INTEGER, T_REPLIES INTEGER, T_LAST_POST VARCHAR(50),"
            " T_GOOD VARCHAR(1), T_CODESYSTEM SMALLINT, T_FILENAME VARCHAR(255), T_FILESIZE INTEGER);"
            "CREATE TABLE FORUM_REPLY (REPLY_ID INTEGER, TOPIC_ID INTEGER, R_MESSAGE LONGTEXT, R_AUTHOR INTEGER,"
            " R_DATE VARCHAR(50), R_CODESYSTEM SMALLINT);") +
        rows;
    QProcess sqlite;
    sqlite.start("sqlite3", {path});
    sqlite.write(sql.toUtf8());
    sqlite.closeWriteChannel();
    QVERIFY(sqlite.waitForFinished(30000));
    QCOMPARE(sqlite.exitCode(), 0);
}
