#include "cli/tests/cli_run.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using velm::test::CliRun;
using velm::test::runVelm;

} // namespace

TEST(PackagesCli, ExpandStatusAndMessages)
{
    QTemporaryDir dir;
    const std::string out = dir.filePath("2004W06.mdb").toStdString();
    EXPECT_EQ(runVelm({"expand", VELM_FIXTURES "/2004W07.VLP", out}).status, 0);
    EXPECT_EQ(fs::file_size(out), fs::file_size(VELM_FIXTURES "/2004W06.mdb"));
    const CliRun failed = runVelm({"expand", dir.filePath("missing.VLP").toStdString(), out});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
    EXPECT_EQ(runVelm({"expand", out}).status, 2);
    // The program itself, for the exit status a script sees.
    const std::string command = std::string(VELM_CLI_PATH) + " expand " + VELM_FIXTURES "/2004W06.mdb " +
                                dir.filePath("x.mdb").toStdString() + " 2>/dev/null";
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1);
}

TEST(PackagesCli, ImportStepTextsAndErrors)
{
    QTemporaryDir dir;
    const std::string archive = dir.filePath("velm.mdb").toStdString();
    fs::copy_file(VELM_FIXTURES "/archive-small.mdb", archive);
    const std::string package = dir.filePath("2004W06.VLP").toStdString();
    fs::copy_file(VELM_FIXTURES "/2004W06.VLP", package);

    const CliRun run = runVelm({"--archive", archive, "import", package});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "匯入會員資料...\n匯入目錄資料...\n匯入討論區資料...\n匯入主題文章...\n匯入回覆文章...\n");
    sqlite3 *db = nullptr;
    sqlite3_open(dir.filePath("velm.sqlite").toStdString().c_str(), &db);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "select count(*) from UPDATELOG where UPD_TITLE = '2004年06週'", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 1);
    sqlite3_finalize(stmt);
    sqlite3_close(db);

    const CliRun refused = runVelm({"--archive", archive, "import", VELM_FIXTURES "/pkg-extra-column.mdb"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("M_SIGNATURE"), std::string::npos) << refused.err;
}
