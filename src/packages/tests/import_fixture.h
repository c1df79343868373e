#pragma once
// A copy of the small fixture archive and a package connection for import tests, with a host that
// records what the import shows.
#include "archive/database.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "packages/startup_import.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace velm::test {

class RecordingHost : public StartupImportHost {
public:
    void setStatusText(const std::string &cp950) override { events.push_back("status " + fromCp950(cp950)); }
    ProgressSink &progress() override { return sink; }
    void processEvents() override
    {
        ++eventRuns;
        if (onEvents)
            onEvents();
    }
    LocalTime now() const override { return {2004, 3, 21, 14, 5, 9, 42}; }
    void buildForumTree() override { events.push_back("tree"); }
    void showMessage(const Big5Text &text) override { events.push_back("message " + text.toUtf8()); }

    std::vector<std::string> events; // UTF-8
    SilentProgress sink;
    int eventRuns = 0;
    std::function<void()> onEvents;
};

class ImportTest : public ::testing::Test {
protected:
    // The fixture archive is converted once; every test works on its own copy of the result.
    static void SetUpTestSuite()
    {
        s_converted = std::make_unique<QTemporaryDir>();
        const std::string mdb = s_converted->filePath("velm.mdb").toStdString();
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb", mdb);
        Connection converting;
        converting.setConnectionText(mdb);
        converting.open();
    }
    static void TearDownTestSuite() { s_converted.reset(); }

    void SetUp() override
    {
        std::filesystem::copy_file(s_converted->filePath("velm.sqlite").toStdString(), path("velm.sqlite"));
        archive.setConnectionText(path("velm.sqlite"));
        archive.open();
    }

    std::string path(const std::string &name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
    std::string fixture(const std::string &name, const std::string &as) const
    {
        std::filesystem::copy_file(std::string(VELM_FIXTURES "/") + name, path(as));
        return path(as);
    }

    // Every row of the query, fields joined by "|", rows ended by newlines (UTF-8).
    std::string rows(const std::string &sqlUtf8) const
    {
        sqlite3_stmt *stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(archive.handle(), sqlUtf8.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sqlUtf8;
        std::string out;
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
                out += (i ? "|" : "") + std::string(text ? text : "<null>");
            }
            out += "\n";
        }
        sqlite3_finalize(stmt);
        return out;
    }
    std::string table(const std::string &name) const { return rows("select * from " + name + " order by 1, 2"); }

    QTemporaryDir dir;
    Connection archive{Connection::Mode::Archive};
    Connection package{Connection::Mode::Package};
    RecordingHost host;

private:
    static inline std::unique_ptr<QTemporaryDir> s_converted;
};

// A package as an SQLite file made by the given statements.
inline void makeSqlitePackage(const std::string &path, const std::string &statements)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

inline constexpr const char *kEmptyForumTables =
    "CREATE TABLE FORUM_MEMBERS (MEMBER_ID INTEGER, M_NAME VARCHAR(50));"
    "CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_NAME VARCHAR(50));"
    "CREATE TABLE FORUM_FORUM (FORUM_ID INTEGER, F_SUBJECT VARCHAR(50));"
    "CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, T_SUBJECT VARCHAR(100));"
    "CREATE TABLE FORUM_REPLY (REPLY_ID INTEGER, TOPIC_ID INTEGER, R_MESSAGE LONGTEXT);";

} // namespace velm::test
