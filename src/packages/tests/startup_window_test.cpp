#include "base/qtext.h"
#include "shell/article_view.h"
#include "shell/main_window.h"
#include "shell_widgets/messages.h"
#include "shell_widgets/progress_window.h"
#include "shell/testing/main_window_probe.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "sqlite/testing/first_value.h"

#include <sqlite3.h>

#include <filesystem>

using namespace velm;
namespace fs = std::filesystem;

using velm::test::firstValue;

namespace {

} // namespace

class StartupWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void packageOnTheCommandLineIsImportedOnce()
    {
        QTemporaryDir programFolder;
        QTemporaryDir packages;
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", programFolder.filePath("velm.mdb").toStdString());
        QDir(packages.path()).mkpath(QStringLiteral("a b c"));
        fs::copy_file(VELM_FIXTURES "/2004W06.VLP", packages.filePath("a b c/2004W06.VLP").toStdString());
        QStringList messages;
        setMessageHooks({[&](const Big5Text &text) { messages << qFromCp950(text); },
                         {},
                         [&](const std::string &text) { messages << QString::fromStdString(text); }});

        TfmMain window(
            {programFolder.path().toStdString() + "/",
             {packages.filePath(QStringLiteral("a")), QStringLiteral("b"), QStringLiteral("c/2004W06.VLP")}});
        TFormProgress progress;
        window.setProgressWindow(&progress);
        QSignalSpy done(&window, &TfmMain::firstShowDone);
        window.show();
        QVERIFY(done.wait(60000));

        QCOMPARE(messages, QStringList{QStringLiteral("補充包匯入成功!")});
        QCOMPARE(probe(window).treeBuilds(), 1);
        QVERIFY(!progress.isVisible());
        QVERIFY(probe(window).statusText().isEmpty());
        const QStringList temporary = QDir(programFolder.path()).entryList({QStringLiteral("*_TMP.mdb")});
        QVERIFY2(temporary.isEmpty(), qPrintable(temporary.join(' ')));
        const std::string archive = programFolder.filePath("velm.sqlite").toStdString();
        QCOMPARE(firstValue(archive, "select M_NAME from FORUM_MEMBERS where MEMBER_ID = 3"), std::string("alice_new"));
        QCOMPARE(firstValue(archive, "select count(*) from UPDATELOG"), std::string("2"));
    }

private:
    QTemporaryDir m_config;
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerArticleScheme();
    QApplication app(argc, argv);
    StartupWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "startup_window_test.moc"
