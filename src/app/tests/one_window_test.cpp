// One window per user, as two real starts of the reader show it: the second start, naming a package, hands it
// to the first and ends; the first imports it.
#include "sqlite/testing/first_value.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// Polls until the condition holds or the time-out passes.
template <typename F> bool waitFor(F &&condition, int milliseconds)
{
    for (QDeadlineTimer deadline(milliseconds); !deadline.hasExpired(); QThread::msleep(50))
        if (condition())
            return true;
    return condition();
}

} // namespace

TEST(OneWindow, ASecondStartHandsItsPackageToTheRunningReader)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The reader copied into a folder of its own is a program whose folder holds the archive and the package.
    const QString folder = dir.filePath("program");
    ASSERT_TRUE(QDir().mkpath(folder) && QDir().mkpath(dir.filePath("run")));
    QFile::setPermissions(dir.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString reader = folder + "/velm-reader";
    ASSERT_TRUE(QFile::copy(VELM_READER_PATH, reader));
    ASSERT_TRUE(QFile::copy(VELM_FIXTURES "/archive-small.mdb", folder + "/velm.mdb"));
    ASSERT_TRUE(QFile::copy(VELM_FIXTURES "/2004W06.VLP", folder + "/2004W06.VLP"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : {std::pair{"HOME", dir.path()},
                                      {"XDG_CONFIG_HOME", dir.filePath("config")},
                                      {"XDG_DATA_HOME", dir.filePath("data")},
                                      {"XDG_RUNTIME_DIR", dir.filePath("run")},
                                      {"VELM_JET_READER", QStringLiteral(VELM_JET_READER_PATH)},
                                      {"QT_QPA_PLATFORM", QStringLiteral("offscreen")},
                                      {"QTWEBENGINE_DISABLE_SANDBOX", QStringLiteral("1")},
                                      {"QTWEBENGINE_CHROMIUM_FLAGS", QStringLiteral("--no-sandbox --disable-gpu")}})
        environment.insert(name, value);
    QProcess first;
    first.setProcessEnvironment(environment);
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(reader, {});
    ASSERT_TRUE(first.waitForStarted(60000));
    const bool listening = waitFor([&] { return QFile::exists(dir.filePath("run/velm-reader.socket")); }, 120000);

    QProcess second;
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(folder); // the package named relative to where the second start runs
    second.start(reader, {"2004W06.VLP"});
    const bool ended = listening && second.waitForFinished(60000);
    const std::string archive = (folder + "/velm.sqlite").toStdString();
    const char *imported = "select count(*) from UPDATELOG where UPD_TITLE like '2004年06週%'";
    const bool merged = ended && waitFor([&] { return velm::test::firstValue(archive, imported) == "1"; }, 120000);
    const bool firstRan = first.state() == QProcess::Running;
    first.kill();
    first.waitForFinished(30000);
    second.kill();
    second.waitForFinished(30000);

    ASSERT_TRUE(listening) << "the first reader made no socket";
    ASSERT_TRUE(ended) << "the second start did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(merged) << "the running reader did not import the package";
    EXPECT_TRUE(firstRan);
}
