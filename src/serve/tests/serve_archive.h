#pragma once
// A copy of the demo archive for a test, with rows the test adds through plain SQLite.
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velm::test {

class ServedArchive {
public:
    ServedArchive() : m_path(m_dir.filePath("velm.sqlite").toStdString())
    {
        std::filesystem::copy_file(VELM_DEMO_ARCHIVE, m_path);
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    }
    const std::string &path() const { return m_path; }

    // Runs statements (UTF-8) on a connection of its own, as another program writing the archive would.
    void execute(const std::string &sql) const
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
        char *error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    // A forum of its own with the given number of topics, ids from firstId on, newest activity first.
    void addForum(int forumId, int topics, int firstId) const
    {
        std::string sql = "BEGIN; INSERT INTO FORUM_FORUM (FORUM_ID, CAT_ID, F_SUBJECT) VALUES (" +
                          std::to_string(forumId) + ", 1, '大量主題');";
        for (int i = 0; i < topics; ++i)
            sql += "INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, "
                   "T_GOOD, T_CODESYSTEM, T_SUBJECT, T_MESSAGE) VALUES (" +
                   std::to_string(firstId + i) + ", " + std::to_string(forumId) + ", 1, 2, '20040101000000', 0, '2004" +
                   std::to_string(100000000 + 1000000 - i).substr(1) + "', 'N', 0, '主題 " + std::to_string(i) +
                   "', '內文');";
        execute(sql + "COMMIT;");
    }

    // A topic in forum 101 whose first post is the given text.
    void addTopic(int topicId, const std::string &message) const
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, "
                           "T_LAST_POST, T_GOOD, T_CODESYSTEM, T_SUBJECT, T_MESSAGE) VALUES (?, 101, 1, 2, "
                           "'20040301000000', 0, '20040301000000', 'N', 0, '測試主題', ?)",
                           -1, &stmt, nullptr);
        sqlite3_bind_int(stmt, 1, topicId);
        sqlite3_bind_text(stmt, 2, message.data(), static_cast<int>(message.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }

private:
    QTemporaryDir m_dir;
    std::string m_path;
};

} // namespace velm::test
