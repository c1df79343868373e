// The window's searches run off its thread and stop on Escape or on a new search; the archive's index is
// built in the background; the quick search box suggests subjects that open their topic.
#include "base/cp950.h"
#include "search/quick_search.h"
#include "shell/main_window.h"
#include "shell/testing/main_window_probe.h"
#include "shell/tests/test_archive.h"
#include "shell/tests/window_test_support.h"
#include "shell_widgets/messages.h"
#include "textindex/text_index.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace velm;

class SearchWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_programFolder;
    QStringList m_errors;
    QStringList m_messages;

    std::unique_ptr<TfmMain> start() { return test::startWindow((m_programFolder.path() + '/').toStdString()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_programFolder.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        test::collectMessages(m_messages, m_errors);
        writeTestArchive(m_programFolder.filePath("velm.sqlite"),
                         QStringLiteral("INSERT INTO FORUM_MEMBERS VALUES (1, 'writer');"
                                        "INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top', 1, 1);"
                                        "INSERT INTO FORUM_FORUM VALUES (7, 1, 'Posts');"
                                        "INSERT INTO FORUM_TOPICS VALUES (1, 7, 1, 'Socket 連線逾時', 'Body one.',"
                                        " '20040101000000', 1, 0, '20040103000000', 'N', 0, '', 0);"
                                        "INSERT INTO FORUM_TOPICS VALUES (2, 7, 1, 'Thread 同步', 'Body two.',"
                                        " '20040102000000', 1, 1, '20040102000000', 'N', 0, '', 0);"
                                        "INSERT INTO FORUM_TOPICS VALUES (3, 7, 1, 'TClientSocket 範例', 'Body.',"
                                        " '20040103000000', 1, 0, '20040101000000', 'N', 0, '', 0);"
                                        "INSERT INTO FORUM_REPLY VALUES (1, 2, 'Use a socket here.', 1,"
                                        " '20040102000000', 0);"));
    }

    void init()
    {
        m_errors.clear();
        m_messages.clear();
        test::writeSettings({});
    }

    void cleanup() { QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n'))); }

    void searchesRunOffTheWindowAndStop()
    {
        auto w = start();
        // A statement that would run for ever: the window goes on while it runs.
        const TopicSearch endless{TopicSearch::Kind::Quick, QuickSearchSql("x"), {"x"}, [](sqlite3 *) {
                                      return std::string("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 "
                                                         "FROM c) SELECT * FROM FORUM_TOPICS WHERE TOPIC_ID = "
                                                         "(SELECT n FROM c WHERE n < 0)");
                                  }};
        bool finished = false;
        w->runTopicSearch(endless, [&](bool) { finished = true; });
        QVERIFY(w->searchRunning());
        QCOMPARE(probe(*w).statusText(), QStringLiteral("搜尋中…"));
        QTimer tick;
        QSignalSpy ticked(&tick, &QTimer::timeout);
        tick.start(10);
        QVERIFY(ticked.wait(5000));

        QTest::keyClick(probe(*w).DBGrid1(), Qt::Key_Escape);
        QVERIFY(!w->searchRunning());
        QCOMPARE(probe(*w).statusText(), QStringLiteral("已停止搜尋，列出 0 篇主題"));

        // A new search stops the one that runs, and takes its place on the search thread.
        w->runTopicSearch(endless, [&](bool) { finished = true; });
        QTest::keyClicks(probe(*w).EditSearch(), "socket");
        w->ToolButton9Click();
        QTRY_COMPARE_WITH_TIMEOUT(probe(*w).statusText(), QStringLiteral("找到 3 篇主題"), 15000);
        QCOMPARE(probe(*w).DBGrid1()->model()->rowCount(), 3);
        QVERIFY(!finished);
        QVERIFY(m_messages.isEmpty());
    }

    void indexIsBuiltAndSubjectsAreSuggested()
    {
        auto w = start();
        QTRY_VERIFY_WITH_TIMEOUT(textindex::usable(probe(*w).ADOConnection1().handle()), 30000);
        QTRY_VERIFY(!w->findChild<QLabel *>("IndexStatus")->isVisible());

        // Two letters bring the subjects that hold them, whatever their case.
        QLineEdit *edit = probe(*w).EditSearch();
        edit->setFocus();
        QTest::keyClicks(edit, "so");
        auto *suggestions = w->findChild<QCompleter *>("EditSearchSuggestions");
        QAbstractItemView *popup = suggestions->popup();
        QTRY_VERIFY_WITH_TIMEOUT(popup->isVisible() && popup->model()->rowCount() == 2, 15000);
        QCOMPARE(popup->model()->index(0, 0).data().toString(), QStringLiteral("TClientSocket 範例"));
        QCOMPARE(popup->model()->index(1, 0).data().toString(), QStringLiteral("Socket 連線逾時"));

        // Choosing one opens its topic, and no search runs.
        popup->setCurrentIndex(popup->model()->index(1, 0));
        QTest::keyClick(popup, Qt::Key_Return);
        QTRY_VERIFY(probe(*w).history().current() && probe(*w).history().current()->topicId == "1");
        QCOMPARE(edit->text(), QStringLiteral("so"));
        QVERIFY(!w->searchRunning());
        QCOMPARE(probe(*w).statusText(), QString());
    }
};

QTEST_MAIN(SearchWindowTest)
#include "search_window_test.moc"
