// The reader as a real process beside other programs on its archive: what it imports stays, whatever the
// file dialogs or another program did meanwhile; an archive it cannot write opens read-only and takes no
// package, in the window and in velm alike.
#include "sqlite/testing/test_db.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using velm::test::Db;

namespace {

constexpr int kPatienceMs = 120000;
constexpr uid_t kNobody = 65534;

// Folders the programs keep their settings and data in, inside the test's folder; the forum's server is
// out of reach, so that nothing goes to the network.
QProcessEnvironment programEnvironment(const QString &root)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString folder = root + "/" + QString::fromLatin1(name).toLower();
        QDir().mkpath(folder);
        ::chmod(folder.toLocal8Bit().constData(), 0777);
        environment.insert(QString::fromLatin1(name), folder);
    }
    QFile settings(environment.value("XDG_CONFIG_HOME") + "/VELM_Reader.ini");
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[General]\nForumBaseURL=http://127.0.0.1:9/\n");
    ::chmod(settings.fileName().toLocal8Bit().constData(), 0666);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    return environment;
}

// A program of the reader, run as the given user (root stays root when the test is not run by root).
void runAs(QProcess &process, uid_t user)
{
    if (::getuid() != 0)
        return;
    process.setChildProcessModifier([user] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)
            ::_exit(127);
    });
}

struct Finished {
    int status = -1;
    std::string out;
    std::string err;
};

Finished runVelm(const QStringList &arguments, const QProcessEnvironment &environment, uid_t user = 0)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    runAs(process, user);
    process.start(QStringLiteral(VELM_CLI_PATH), arguments);
    Finished run;
    if (!process.waitForFinished(kPatienceMs))
        process.kill();
    else if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

// The window driver: one command at a time, its answer lines up to and with "done".
class Window {
public:
    Window(const QString &programFolder, const QProcessEnvironment &environment, uid_t user = 0)
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        runAs(m_process, user);
        m_process.start(QStringLiteral(VELM_WINDOW_DRIVER), {programFolder});
        m_ready = answer("ready");
    }
    ~Window()
    {
        m_process.kill();
        m_process.waitForFinished(kPatienceMs);
    }
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    // The caption after the first show; empty when the window did not come up.
    QString caption() const { return m_ready.isEmpty() ? QString() : m_ready.last().mid(6); }
    QStringList command(const QString &line)
    {
        m_process.write((line + "\n").toUtf8());
        return answer("done");
    }
    void killHard()
    {
        m_process.kill(); // SIGKILL: nothing of the process runs any more
        m_process.waitForFinished(kPatienceMs);
    }

private:
    QStringList answer(const QString &last)
    {
        QStringList lines;
        const QDeadlineTimer deadline(kPatienceMs);
        while (!deadline.hasExpired()) {
            while (m_process.canReadLine()) {
                lines << QString::fromUtf8(m_process.readLine()).trimmed();
                if (lines.last().startsWith(last))
                    return lines;
            }
            if (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                break;
        }
        ADD_FAILURE() << "no \"" << last.toStdString()
                      << "\" from the window; it said: " << lines.join(" | ").toStdString();
        return {};
    }

    QProcess m_process;
    QStringList m_ready;
};

class ArchiveSharing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ::chmod(m_dir.path().toLocal8Bit().constData(), 0755); // others may look in, as in a home folder
        m_folder = m_dir.filePath("program");
        QDir().mkpath(m_folder);
        fs::copy_file(VELM_DEMO_ARCHIVE, (m_folder + "/velm.sqlite").toStdString());
        fs::copy_file(VELM_FIXTURES "/2004W06.VLP", (m_folder + "/2004W06.VLP").toStdString());
        m_environment = programEnvironment(m_dir.filePath("user"));
    }

    std::string archive() const { return (m_folder + "/velm.sqlite").toStdString(); }

    QTemporaryDir m_dir;
    QString m_folder;
    QProcessEnvironment m_environment;
};

} // namespace

TEST_F(ArchiveSharing, AnImportSurvivesDialogsAnotherProgramAndAKill)
{
    // A forum long enough that its topic list is still being read while the window waits.
    Db(archive()).exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                       "INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_SUBJECT, T_AUTHOR, T_LAST_POST) "
                       "SELECT 50000 + i, 101, 1, 'topic ' || i, 1, '20040101000000' FROM n");
    fs::copy_file(VELM_FIXTURES "/2004W07.VLP", (m_folder + "/2004W07.VLP").toStdString());
    const QString path = QString::fromStdString(archive());

    Window window(m_folder, m_environment);
    ASSERT_FALSE(window.caption().isEmpty());
    EXPECT_EQ(window.command("forum 101"), (QStringList{"reading", "done"}));
    // The dialogs list the archive, its -wal and -shm; velm then opens and closes the archive beside the
    // window, and another velm imports a package: no import is running when the window's own begins.
    EXPECT_EQ(window.command("dialogs"), QStringList{"done"});
    const Finished search = runVelm({"--archive", path, "search", "ADO"}, m_environment);
    EXPECT_EQ(search.status, 0) << search.err;
    const Finished other = runVelm({"--archive", path, "import", m_folder + "/2004W07.VLP"}, m_environment);
    EXPECT_EQ(other.status, 0) << other.err;
    const QStringList imported = window.command("import " + m_folder + "/2004W06.VLP");
    EXPECT_TRUE(imported.contains("message 補充包匯入成功!")) << imported.join(" | ").toStdString();
    window.killHard();

    const Db db(archive(), SQLITE_OPEN_READONLY);
    EXPECT_EQ(db.text("select count(*) from UPDATELOG where UPD_TITLE in ('2004年06週', '2004年07週')"), "2");
    EXPECT_EQ(db.text("select count(*) from FORUM_TOPICS where TOPIC_ID in (1101, 1102)"), "2");
    EXPECT_EQ(db.text("select count(*) from FORUM_TOPICS where FORUM_ID = 101 and TOPIC_ID > 50000"), "500");
    EXPECT_EQ(db.text("PRAGMA integrity_check"), "ok");
}

TEST_F(ArchiveSharing, AnArchiveInAFolderTheUserCannotWriteOpensReadOnly)
{
    // In WAL mode, as every archive the reader has written; then neither the folder nor the file can be
    // written by the user the programs run as (root is not stopped by permission bits: they run as nobody).
    EXPECT_EQ(runVelm({"--archive", QString::fromStdString(archive()), "tree"}, m_environment).status, 0);
    EXPECT_EQ(Db(archive()).text("PRAGMA journal_mode"), "wal");
    const uid_t user = ::getuid() == 0 ? kNobody : ::getuid();
    ::chmod(archive().c_str(), 0444);
    ::chmod(m_folder.toLocal8Bit().constData(), 0555);
    const std::string topicsBefore = Db(archive(), SQLITE_OPEN_READONLY).text("select count(*) from FORUM_TOPICS");
    const QString path = QString::fromStdString(archive());
    const QString package = m_folder + "/2004W06.VLP";

    for (const bool heldOpen : {false, true}) {
        SCOPED_TRACE(heldOpen ? "another program has the archive open" : "nothing else has the archive open");
        std::optional<Db> other; // with it, the -wal and -shm are there, and cannot be written either
        if (heldOpen) {
            other.emplace(archive(), SQLITE_OPEN_READONLY);
            EXPECT_EQ(other->text("select count(*) from FORUM_TOPICS"), topicsBefore);
        }
        const Finished tree = runVelm({"--archive", path, "tree"}, m_environment, user);
        EXPECT_EQ(tree.status, 0) << tree.err;
        EXPECT_NE(tree.out.find("Delphi"), std::string::npos) << tree.out;
        EXPECT_NE(tree.err.find("以唯讀方式開啟"), std::string::npos) << tree.err;
        const Finished import = runVelm({"--archive", path, "import", package}, m_environment, user);
        EXPECT_EQ(import.status, 1);
        EXPECT_NE(import.err.find("是唯讀的（所在的資料夾無法寫入）"), std::string::npos) << import.err;

        Window window(m_folder, m_environment, user);
        EXPECT_TRUE(window.caption().contains(" (唯讀) - ")) << window.caption().toStdString();
        const QStringList refused = window.command("import " + package);
        EXPECT_TRUE(refused.size() == 2 && refused[0].startsWith("error 無法匯入補充包") && refused[0].contains("唯讀"))
            << refused.join(" | ").toStdString();
    }
    ::chmod(m_folder.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(Db(archive(), SQLITE_OPEN_READONLY).text("select count(*) from FORUM_TOPICS"), topicsBefore);
    EXPECT_FALSE(fs::exists(m_folder.toStdString() + "/2004W06.mdb")); // refused before the expansion
}
