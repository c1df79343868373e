#pragma once
// Small archives made inside a test, in a temporary folder that goes away with the test.
#include "archive/database.h"

#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace velm::test {

inline const char *kSchema = R"sql(
CREATE TABLE FORUM_MEMBERS (MEMBER_ID INTEGER, M_NAME VARCHAR(50), M_JOINED DATETIME, M_ACTIVE BOOLEAN);
CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_PID INTEGER, CAT_NAME VARCHAR(100), CAT_ORDER SMALLINT,
  CAT_KIND SMALLINT);
CREATE TABLE FORUM_FORUM (FORUM_ID INTEGER, CAT_ID INTEGER, F_SUBJECT VARCHAR(100), F_DESCRIPTION LONGTEXT);
CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, FORUM_ID INTEGER, T_SUBJECT VARCHAR(100), T_MESSAGE LONGTEXT,
  T_REPLIES INTEGER, T_FILESIZE DOUBLE, T_CODESYSTEM SMALLINT, T_BLOB LONGBINARY);
)sql";

// Writes an SQLite archive with the schema and the given statements; returns its path.
inline std::string makeArchive(const QTemporaryDir &dir, const std::string &statements,
                               const std::string &name = "archive.sqlite")
{
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char *error = nullptr;
    const std::string sql = std::string(kSchema) + statements;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    return path;
}

inline void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace velm::test
