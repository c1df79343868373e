// The archive under faults, with real velm processes: killed imports, two processes on one archive,
// an Access file replaced after its conversion, and work files of killed processes.
#include "base/file_lock.h"
#include "cli/tests/cli_run.h"
#include "packages/tests/package_bytes.h"
#include "sqlite/testing/test_db.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;
using velm::test::CliRun;
using velm::test::Db;
using velm::test::runVelmProcess;

namespace {

constexpr auto kPatience = std::chrono::seconds(120);
const char *const kTables[] = {"FORUM_MEMBERS", "FORUM_CATEGORY", "FORUM_FORUM",
                               "FORUM_TOPICS",  "FORUM_REPLY",    "UPDATELOG"};

// What a reader sees of the archive: the row count of every table.
std::map<std::string, long long> rowCounts(const std::string &sqlitePath)
{
    const Db db(sqlitePath, SQLITE_OPEN_READONLY);
    std::map<std::string, long long> counts;
    for (const char *table : kTables)
        counts[table] = db.count(table);
    return counts;
}

std::string integrity(const std::string &sqlitePath)
{
    return Db(sqlitePath, SQLITE_OPEN_READONLY).text("PRAGMA integrity_check");
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// velm started as a process of its own; killed if the test ends first.
class VelmProcess {
public:
    VelmProcess(const std::vector<std::string> &args, const std::string &errFile) : m_errFile(errFile)
    {
        std::vector<std::string> argv{VELM_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char *> raw;
        for (std::string &a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&m_pid, VELM_CLI_PATH, &actions, nullptr, raw.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~VelmProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            wait();
        }
    }
    VelmProcess(const VelmProcess &) = delete;
    VelmProcess &operator=(const VelmProcess &) = delete;

    std::string err() const { return readAll(m_errFile); }
    pid_t pid() const { return m_pid; }
    bool running()
    {
        if (m_pid <= 0)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == 0)
            return true;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_pid = -1;
        return false;
    }
    void kill()
    {
        ::kill(m_pid, SIGKILL);
        wait();
    }
    int wait()
    {
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            m_pid = -1;
        }
        return m_status;
    }

private:
    std::string m_errFile;
    pid_t m_pid = -1;
    int m_status = -1;
};

// Polls until the condition holds or the process ended; true when the condition held.
template <typename Condition> bool waitFor(VelmProcess &process, Condition condition)
{
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < until) {
        if (condition())
            return true;
        if (!process.running())
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

bool anyFileStartingWith(const std::string &folder, const std::string &start)
{
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(start, 0) == 0)
            return true;
    return false;
}

std::vector<std::string> entries(const std::string &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Reliability : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        m_mdb = path("velm.mdb");
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", m_mdb);
        fs::permissions(m_mdb, fs::perms::owner_write, fs::perm_options::add);
    }

    std::string path(const std::string &name) const { return m_folder + "/" + name; }
    std::string sqlite() const { return path("velm.sqlite"); }

    void convert()
    {
        const CliRun run = runVelmProcess("--archive " + m_mdb + " tree >/dev/null");
        ASSERT_EQ(run.status, 0) << run.err;
    }

    // An SQLite package with the archive's own tables, its replies many enough for the merge to take a while.
    std::string bigPackage(const std::string &name, int replies, int firstTopic)
    {
        const std::string package = path(name);
        const Db archive(sqlite(), SQLITE_OPEN_READONLY);
        Db db(package, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(archive.handle, "select sql from sqlite_master where type='table' and name like 'FORUM%'",
                           -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            db.exec(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        db.exec("BEGIN");
        db.exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                std::to_string(replies - 1) +
                ") INSERT INTO FORUM_REPLY (REPLY_ID, TOPIC_ID, R_MESSAGE, R_AUTHOR, R_DATE, R_CODESYSTEM) "
                "SELECT i % 50, " +
                std::to_string(firstTopic) +
                " + i / 50, 'reply ' || i || ' ' || hex(randomblob(40)), 1, "
                "'2004/02/0' || (i % 9 + 1), 0 FROM n");
        db.exec("INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_SUBJECT, T_AUTHOR) "
                "SELECT DISTINCT TOPIC_ID, 101, 1, 'topic ' || TOPIC_ID, 1 FROM FORUM_REPLY");
        db.exec("COMMIT");
        return package;
    }

    // An SQLite package made by the statements; as a .VLP file of it when the name says so.
    std::string package(const std::string &name, const std::string &statements)
    {
        const bool wrapped = name.ends_with(".VLP");
        const std::string database = path(wrapped ? name + ".sqlite" : name);
        Db(database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE).exec(statements);
        if (!wrapped)
            return database;
        const std::string data = readAll(database);
        fs::remove(database);
        std::ofstream(path(name), std::ios::binary) << velm::test::packageBytes(data, 1);
        return path(name);
    }

    QTemporaryDir m_dir;
    std::string m_folder;
    std::string m_mdb;
};

constexpr const char *kForumTables =
    "CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_NAME VARCHAR(50));"
    "CREATE TABLE FORUM_FORUM (FORUM_ID INTEGER, F_SUBJECT VARCHAR(50));"
    "CREATE TABLE FORUM_REPLY (REPLY_ID INTEGER, TOPIC_ID INTEGER, R_MESSAGE LONGTEXT);";

} // namespace

TEST_F(Reliability, AKilledImportLeavesTheArchiveAsItWas)
{
    convert();
    const std::string package = bigPackage("2099W01.sqlite", 120000, 500000);
    const auto before = rowCounts(sqlite());
    // The steps killed in are drawn at random; VELM_KILL_SEED replays the draw of an earlier run.
    const char *const replay = std::getenv("VELM_KILL_SEED");
    const unsigned seed = replay ? static_cast<unsigned>(std::stoul(replay)) : std::random_device{}();
    std::cout << "VELM_KILL_SEED=" << seed << std::endl;
    SCOPED_TRACE("VELM_KILL_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    const char *const steps[] = {"匯入會員資料", "匯入主題文章", "匯入回覆文章"};
    for (int round = 0; round < 3; ++round) {
        const std::string step = steps[random() % 3];
        VelmProcess import({"--archive", m_mdb, "import", package}, path("import.err"));
        ASSERT_TRUE(waitFor(import, [&] { return import.err().find(step) != std::string::npos; })) << import.err();
        if (step == steps[2]) {
            // Deep in the merge: the replies are being written.
            ASSERT_TRUE(waitFor(import, [&] {
                std::error_code ec;
                return fs::file_size(sqlite() + "-wal", ec) > 2'000'000;
            }));
        }
        // Another reader sees the archive as it was before the import, never half of it.
        EXPECT_EQ(rowCounts(sqlite()), before) << "during " << step;
        ASSERT_TRUE(import.running()) << "the import ended before it could be killed: " << import.err();
        import.kill();
        EXPECT_EQ(rowCounts(sqlite()), before) << "after a kill during " << step;
        EXPECT_EQ(integrity(sqlite()), "ok");
    }
    const CliRun done = runVelmProcess("--archive " + m_mdb + " import " + package);
    ASSERT_EQ(done.status, 0) << done.err;
    const auto after = rowCounts(sqlite());
    EXPECT_EQ(after.at("FORUM_REPLY"), before.at("FORUM_REPLY") + 120000);
    EXPECT_EQ(after.at("UPDATELOG"), before.at("UPDATELOG") + 1);
    EXPECT_EQ(integrity(sqlite()), "ok");
}

TEST_F(Reliability, TwoImportsIntoOneArchiveRunOneAfterTheOther)
{
    convert();
    const std::string first = bigPackage("2099W01.sqlite", 60000, 500000);
    const std::string second = bigPackage("2099W02.sqlite", 60000, 600000);
    const auto before = rowCounts(sqlite());
    VelmProcess a({"--archive", m_mdb, "import", first}, path("a.err"));
    ASSERT_TRUE(waitFor(a, [&] { return a.err().find("匯入會員資料") != std::string::npos; }));
    VelmProcess b({"--archive", m_mdb, "import", second}, path("b.err"));
    // The second waits, and starts merging only on an archive that holds all of the first.
    ASSERT_TRUE(waitFor(b, [&] { return b.err().find("等待另一個匯入完成") != std::string::npos; })) << b.err();
    ASSERT_TRUE(waitFor(b, [&] { return b.err().find("匯入會員資料") != std::string::npos; })) << b.err();
    EXPECT_EQ(rowCounts(sqlite()).at("FORUM_REPLY"), before.at("FORUM_REPLY") + 60000);
    EXPECT_EQ(a.wait(), 0) << a.err();
    EXPECT_EQ(b.wait(), 0) << b.err();
    const auto after = rowCounts(sqlite());
    EXPECT_EQ(after.at("FORUM_REPLY"), before.at("FORUM_REPLY") + 120000);
    EXPECT_EQ(after.at("UPDATELOG"), before.at("UPDATELOG") + 2);
}

TEST_F(Reliability, TheFirstOpenConvertsOnceAcrossProcesses)
{
    fs::copy_file(VELM_FIXTURES "/2004W06.mdb", path("2004W06.mdb"));
    for (int round = 0; round < 3; ++round) {
        fs::remove(sqlite());
        fs::remove(sqlite() + "-wal");
        fs::remove(sqlite() + "-shm");
        // The first process converts the Access file and imports into the result; the second opens the same
        // Access file while the first one is converting it.
        VelmProcess importing({"--archive", m_mdb, "import", path("2004W06.mdb")}, path("import.err"));
        waitFor(importing, [&] { return anyFileStartingWith(m_folder, "velm.sqlite.part-") || round == 2; });
        VelmProcess reading({"--archive", m_mdb, "tree"}, path("tree.err"));
        EXPECT_EQ(importing.wait(), 0) << importing.err();
        EXPECT_EQ(reading.wait(), 0) << reading.err();
        const Db db(sqlite(), SQLITE_OPEN_READONLY);
        EXPECT_EQ(db.text("select count(*) from UPDATELOG where UPD_TITLE = '2004年06週'"), "1") << "round " << round;
        EXPECT_EQ(db.text("select M_NAME from FORUM_MEMBERS where MEMBER_ID = 3"), "alice_new");
        EXPECT_FALSE(anyFileStartingWith(m_folder, "velm.sqlite.part-"));
    }
}

TEST_F(Reliability, AChangedAccessFileIsNoticedAndConvertedOnlyWhenAsked)
{
    convert();
    const CliRun imported = runVelmProcess("--archive " + m_mdb + " import " VELM_FIXTURES "/2004W06.mdb");
    ASSERT_EQ(imported.status, 0) << imported.err;
    const std::string older = readAll(sqlite());

    CliRun same = runVelmProcess("--archive " + m_mdb + " tree");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.err, "");

    // A newer full archive is put in place of the old one.
    fs::remove(m_mdb);
    fs::copy_file(VELM_FIXTURES "/archive-small.mdb", m_mdb);
    const CliRun warned = runVelmProcess("--archive " + m_mdb + " tree");
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(warned.err.find("changed since it was converted"), std::string::npos) << warned.err;
    EXPECT_NE(warned.out.find("Delphi 與 .NET"), std::string::npos) << "the converted archive, with its import, serves";

    const CliRun again = runVelmProcess("--reconvert --archive " + m_mdb + " tree");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out.find("Delphi 與 .NET"), std::string::npos) << "the new conversion has no import";
    ASSERT_TRUE(fs::exists(sqlite() + ".old"));
    EXPECT_EQ(Db(sqlite() + ".old", SQLITE_OPEN_READONLY)
                  .text("select count(*) from UPDATELOG where UPD_TITLE = '2004年06週'"),
              "1");

    const CliRun quiet = runVelmProcess("--archive " + m_mdb + " tree");
    EXPECT_EQ(quiet.err, "") << "the new conversion records its source";
    (void)older;
}

TEST_F(Reliability, WorkFilesOfKilledProcessesAreRemoved)
{
    // A process that holds a work file and is killed: the file stays until the next conversion of the same
    // archive or the next package load, which remove it; a file still held by a live process is left alone.
    auto orphan = [](const std::string &prefix, const std::string &suffix) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            velm::WorkFile file(prefix, suffix);
            std::ofstream(file.path()) << std::string(1 << 20, 'x');
            (void)!::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        char byte;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    };
    const std::string temporary = path("tmp");
    fs::create_directory(temporary);
    orphan(sqlite() + ".part-", ".tmp");
    orphan(temporary + "/velm-jet-", ".sqlite");
    const velm::WorkFile live(temporary + "/velm-jet-", ".sqlite");
    EXPECT_TRUE(anyFileStartingWith(m_folder, "velm.sqlite.part-"));

    const CliRun run = runVelmProcess("--archive " + m_mdb + " tree >/dev/null");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(anyFileStartingWith(m_folder, "velm.sqlite.part-"));

    setenv("TMPDIR", temporary.c_str(), 1);
    const CliRun import = runVelmProcess("--archive " + m_mdb + " import " VELM_FIXTURES "/2004W06.mdb");
    unsetenv("TMPDIR");
    ASSERT_EQ(import.status, 0) << import.err;
    EXPECT_EQ(entries(temporary), std::vector<std::string>{fs::path(live.path()).filename().string()});

    // A killed expansion leaves nothing beside its destination: its output has no name while it is written.
    const std::string expansions = path("expansions");
    fs::create_directory(expansions);
    const std::string package = expansions + "/zeros.VLP";
    std::ofstream(package, std::ios::binary) << velm::test::packageBytes(std::string(200 << 20, '\0'), 9);
    VelmProcess expand({"expand", package, expansions + "/zeros.mdb"}, path("expand.err"));
    // Writing: the process holds an output file in the folder.
    ASSERT_TRUE(waitFor(expand, [&] {
        std::error_code ec;
        for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(expand.pid()) + "/fd", ec)) {
            const std::string target = fs::read_symlink(fd.path(), ec).string();
            if (target.rfind(expansions + "/", 0) == 0 && target.find("zeros.VLP") == std::string::npos)
                return true;
        }
        return false;
    })) << expand.err();
    expand.kill();
    EXPECT_EQ(entries(expansions), std::vector<std::string>{"zeros.VLP"});
}

TEST_F(Reliability, APackageIsOnlyRead)
{
    convert();
    const std::string package = bigPackage("2099W01.sqlite", 100, 500000);
    Db(package).exec("PRAGMA journal_mode=WAL");
    const std::string bytes = readAll(package);
    const auto before = entries(m_folder);
    const CliRun run = runVelmProcess("--archive " + m_mdb + " import " + package);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readAll(package), bytes);
    EXPECT_FALSE(fs::exists(package + "-wal"));
    EXPECT_FALSE(fs::exists(package + "-shm"));
}

TEST_F(Reliability, FailuresSayWhatWentWrong)
{
    auto write = [&](const std::string &name, const std::string &bytes) {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    };
    const std::string valid = readAll(VELM_FIXTURES "/2004W06.VLP");
    const struct {
        std::string file;
        const char *says;
    } cases[] = {
        {write("short.VLP", std::string("\x01\x02", 2)), "太短"},
        {write("negative.VLP", std::string("\xff\xff\xff\xff", 4) + valid.substr(4)), "負數"},
        {write("huge.VLP", std::string("\x00\x00\x00\x70", 4) + valid.substr(4)), "不合理"},
        {write("damaged.VLP", valid.substr(0, 200) + std::string(400, '\x55') + valid.substr(600)), "損壞"},
        {write("cut.VLP", valid.substr(0, valid.size() / 2)), "比記錄的長度短"},
    };
    for (const auto &c : cases) {
        const CliRun run = runVelmProcess("expand " + c.file + " " + path("out.mdb"));
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.file << ": " << run.err;
        EXPECT_FALSE(fs::exists(path("out.mdb")));
    }
    const CliRun unwritable = runVelmProcess("expand " VELM_FIXTURES "/2004W06.VLP " + path("no/such/out.mdb"));
    EXPECT_NE(unwritable.err.find("無法寫入展開的檔案"), std::string::npos) << unwritable.err;
    const CliRun import = runVelmProcess("--archive " + m_mdb + " import " + path("damaged.VLP"));
    EXPECT_EQ(import.status, 1);
    EXPECT_NE(import.err.find("損壞"), std::string::npos) << import.err;

    // A database error names the step and the table before the engine's own words.
    const CliRun refused = runVelmProcess("--archive " + m_mdb + " import " VELM_FIXTURES "/pkg-extra-column.mdb");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("匯入會員資料時，資料表 FORUM_MEMBERS 發生錯誤: "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("M_SIGNATURE"), std::string::npos) << refused.err;
}

TEST_F(Reliability, PackagesAreReadAsDataWithinBounds)
{
    convert();
    const std::string members = "CREATE TABLE FORUM_MEMBERS (MEMBER_ID INTEGER, M_NAME VARCHAR(50));";
    const std::string topics = "CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, T_SUBJECT VARCHAR(100));";
    const struct {
        std::string file;
        const char *says; // nothing: imported
    } cases[] = {
        {package("recursive.sqlite", kForumTables + topics +
                                         "CREATE VIEW FORUM_MEMBERS AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                                         "SELECT i + 1 FROM n) SELECT i AS MEMBER_ID, 'm' || i AS M_NAME FROM n;"),
         "FORUM_MEMBERS 是檢視"},
        {package("2099W03.VLP",
                 kForumTables + members +
                     "CREATE VIEW FORUM_TOPICS AS SELECT 1 AS TOPIC_ID, randomblob(900000000) AS T_SUBJECT;"),
         "FORUM_TOPICS 是檢視"},
        {package("computed.sqlite",
                 members + topics +
                     "CREATE TABLE FORUM_REPLY (REPLY_ID INTEGER, R_MESSAGE AS (zeroblob(900000000)));"
                     "INSERT INTO FORUM_REPLY VALUES (1);"),
         "計算欄位 R_MESSAGE"},
        {package("notes.sqlite", "CREATE TABLE NOTES (N TEXT); CREATE VIEW FORUM_NOTES AS SELECT * FROM NOTES;"),
         "沒有任何論壇資料表"},
        {package("2099W04.VLP", kForumTables + members + topics +
                                    "INSERT INTO FORUM_REPLY VALUES (1, 1, zeroblob(65 * 1024 * 1024));"),
         "超過 64 MB 的上限"},
        // Its replies as the import holds them would take far more than the bound: they are streamed.
        {bigPackage("2099W05.sqlite", 150000, 500000), nullptr},
    };
    for (const auto &c : cases) {
        const auto before = rowCounts(sqlite());
        const velm::test::MeasuredRun run = velm::test::runMeasured({"--archive", m_mdb, "import", c.file});
        EXPECT_LT(run.peakKb, 64 * 1024) << c.file << ": peak kilobytes";
        if (!c.says) {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(rowCounts(sqlite()).at("FORUM_REPLY"), before.at("FORUM_REPLY") + 150000);
            continue;
        }
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.file << ": " << run.err;
        EXPECT_EQ(rowCounts(sqlite()), before) << c.file;
    }
}

TEST_F(Reliability, AKilledUpgradeLeavesTheArchiveAsItWasAndRunsAgainLater)
{
    convert();
    {
        // An archive as earlier versions left it, with many replies: text compared byte by byte.
        Db db(sqlite());
        db.exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 299999) "
                "INSERT INTO FORUM_REPLY (REPLY_ID, TOPIC_ID, R_MESSAGE, R_AUTHOR, R_DATE) "
                "SELECT i % 50, 700000 + i / 50, 'Reply ' || hex(randomblob(60)), 1, '2004/02/01' FROM n");
        db.exec("PRAGMA writable_schema=ON");
        db.exec("UPDATE sqlite_master SET sql = replace(sql, ' COLLATE NOCASE', '')");
        db.exec("PRAGMA writable_schema=OFF");
        db.exec("PRAGMA user_version=0");
    }
    Db(sqlite()).exec("REINDEX");
    const auto before = rowCounts(sqlite());
    const std::string sum = Db(sqlite(), SQLITE_OPEN_READONLY).text("select sum(length(R_MESSAGE)) from FORUM_REPLY");

    VelmProcess upgrading({"--archive", sqlite(), "tree"}, path("upgrade.err"));
    ASSERT_TRUE(waitFor(upgrading, [&] { return upgrading.err().find("升級資料表 FORUM_REPLY") != std::string::npos; }))
        << upgrading.err();
    ASSERT_TRUE(upgrading.running()) << "the upgrade ended before it could be killed";
    upgrading.kill();
    {
        const Db db(sqlite(), SQLITE_OPEN_READONLY);
        EXPECT_EQ(db.text("PRAGMA user_version"), "0");
        EXPECT_EQ(db.text("select count(*) from FORUM_TOPICS where T_SUBJECT = 'treeview'"), "0");
    }
    EXPECT_EQ(rowCounts(sqlite()), before);
    EXPECT_EQ(integrity(sqlite()), "ok");

    const CliRun again = runVelmProcess("--archive " + sqlite() + " tree");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("升級資料表 FORUM_REPLY\n"), std::string::npos) << again.err;
    EXPECT_EQ(rowCounts(sqlite()), before);
    const Db db(sqlite(), SQLITE_OPEN_READONLY);
    EXPECT_EQ(db.text("select sum(length(R_MESSAGE)) from FORUM_REPLY"), sum);
    EXPECT_EQ(db.text("select count(*) from FORUM_TOPICS where T_SUBJECT = 'treeview'"), "1");
    EXPECT_EQ(runVelmProcess("--archive " + sqlite() + " tree >/dev/null").err, "") << "upgraded once";
}

TEST_F(Reliability, AnUpgradeWithoutDiskSpaceSaysHowMuchItNeeds)
{
    // A file system of its own, just larger than the archive, in a user and mount namespace of the test's.
    if (std::system("unshare -Urm true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "unshare -Urm (user and mount namespaces) is not available here to make a small file system";
    convert();
    {
        Db db(sqlite());
        db.exec("PRAGMA writable_schema=ON");
        db.exec("UPDATE sqlite_master SET sql = replace(sql, ' COLLATE NOCASE', '')");
        db.exec("PRAGMA writable_schema=OFF");
        db.exec("PRAGMA user_version=0");
    }
    Db(sqlite()).exec("REINDEX");
    const auto kilobytes = fs::file_size(sqlite()) / 1024 + 512;
    const std::string disk = path("disk");
    fs::create_directory(disk);
    QProcess process;
    process.start("unshare", {"-Urm", "sh", "-c",
                              "mount -t tmpfs -o size=" + QString::number(kilobytes) +
                                  "k tmpfs \"$0\" && "
                                  "cp \"$1\" \"$0\" && \"$2\" --archive \"$0/velm.sqlite\" tree && "
                                  "sqlite3 \"$0/velm.sqlite\" 'PRAGMA user_version' >&2",
                              QString::fromStdString(disk), QString::fromStdString(sqlite()), VELM_CLI_PATH});
    ASSERT_TRUE(process.waitForFinished(120000));
    CliRun run{process.exitCode(), process.readAllStandardOutput().toStdString(),
               process.readAllStandardError().toStdString()};
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Delphi"), std::string::npos) << "the archive opens as it is";
    EXPECT_NE(run.err.find("無法升級資料庫檔案 " + disk + "/velm.sqlite: 磁碟空間不足，升級需要約 "), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(" MB 的可用空間，" + disk + " 所在的磁碟只有 0 MB"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\n0\n"), std::string::npos) << "not upgraded: " << run.err;
}
