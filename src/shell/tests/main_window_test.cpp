#include "article_view.h"
#include "main_window.h"
#include "messages.h"
#include "progress_window.h"
#include "settings.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTreeWidgetItemIterator>
#include <QWebEngineView>
#include <QWheelEvent>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

using namespace velm;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_programFolder;
    QStringList m_errors;

    std::unique_ptr<TfmMain> start(const std::string &folder)
    {
        auto window = std::make_unique<TfmMain>(StartupOptions{folder, {}});
        QSignalSpy done(window.get(), &TfmMain::firstShowDone);
        window->show();
        if (!done.wait(60000))
            qWarning("first show did not finish");
        return window;
    }

    static QTreeWidgetItem *findForum(QTreeWidget *tree, qlonglong id)
    {
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toLongLong() == id)
                return *it;
        return nullptr;
    }

    static QString pageText(QWebEngineView *view)
    {
        QString text;
        bool done = false;
        view->page()->toPlainText([&](const QString &t) {
            text = t;
            done = true;
        });
        QDeadlineTimer deadline(5000);
        while (!done && !deadline.hasExpired())
            QTest::qWait(20);
        return text;
    }

    static bool wheel(QTableView *grid, int delta)
    {
        QWidget *target = grid->viewport();
        const QPointF at(10, 10);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    }

    // An archive with one busy forum (7) of the given number of topics and an empty one (8).
    static void writeBusyArchive(const QString &path, int topics)
    {
        QString sql = QStringLiteral(
            "CREATE TABLE FORUM_MEMBERS (MEMBER_ID INTEGER, M_NAME VARCHAR(50));"
            "CREATE TABLE FORUM_CATEGORY (CAT_ID INTEGER, CAT_PID INTEGER, CAT_NAME VARCHAR(100), CAT_ORDER SMALLINT,"
            " CAT_KIND SMALLINT);"
            "CREATE TABLE FORUM_FORUM (FORUM_ID INTEGER, CAT_ID INTEGER, F_SUBJECT VARCHAR(100));"
            "CREATE TABLE FORUM_TOPICS (TOPIC_ID INTEGER, FORUM_ID INTEGER, CAT_ID INTEGER, T_SUBJECT VARCHAR(100),"
            " T_MESSAGE LONGTEXT, T_DATE VARCHAR(50), T_AUTHOR INTEGER, T_REPLIES INTEGER, T_LAST_POST VARCHAR(50),"
            " T_GOOD VARCHAR(1), T_CODESYSTEM SMALLINT, T_FILENAME VARCHAR(255), T_FILESIZE INTEGER);"
            "CREATE TABLE FORUM_REPLY (REPLY_ID INTEGER, TOPIC_ID INTEGER, R_MESSAGE LONGTEXT, R_AUTHOR INTEGER,"
            " R_DATE VARCHAR(50), R_CODESYSTEM SMALLINT);"
            "INSERT INTO FORUM_MEMBERS VALUES (1, 'writer');"
            "INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top', 1, 1);"
            "INSERT INTO FORUM_FORUM VALUES (7, 1, 'Busy');"
            "INSERT INTO FORUM_FORUM VALUES (8, 1, 'Empty');");
        for (int i = 1; i <= topics; ++i)
            sql += QStringLiteral("INSERT INTO FORUM_TOPICS VALUES (%1, 7, 1, 'Subject %1', 'Body %1', '2004010100000%2',"
                                  " 1, 0, '200401%3000000', 'N', 0, '', 0);")
                       .arg(i)
                       .arg(i % 10)
                       .arg(40 - i, 2, 10, QLatin1Char('0'));
        QProcess sqlite;
        sqlite.start("sqlite3", {path});
        sqlite.write(sql.toUtf8());
        sqlite.closeWriteChannel();
        QVERIFY(sqlite.waitForFinished(30000));
        QCOMPARE(sqlite.exitCode(), 0);
    }

    std::string folder() const { return (m_programFolder.path() + '/').toStdString(); }

    void writeSettings(const std::map<QString, QString> &values)
    {
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        store.clear();
        for (const auto &[name, value] : values)
            store.setValue(name, value);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_programFolder.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb",
                                   m_programFolder.filePath("velm.mdb").toStdString());
        setMessageHooks({{}, {}, [this](const std::string &text) { m_errors << QString::fromStdString(text); }});
    }

    void init()
    {
        m_errors.clear();
        writeSettings({});
    }

    void firstRunOpensMaximizedWithTheTreeBuiltOnce()
    {
        auto w = start(folder());
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(w->panel4Width(), 168);
        QCOMPARE(w->panel3Height(), 176);
        QCOMPARE(w->windowTitle(), QStringLiteral("Velm討論區 離線閱讀包 V1.6.quorin"));
        QCOMPARE(w->treeBuilds(), 1);
        QCOMPARE(w->tv()->topLevelItemCount(), 1);
        QTreeWidgetItem *root = w->tv()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Velm討論區"));
        QVERIFY(root->isExpanded());
        QCOMPARE(root->childCount(), 6);
        QVERIFY(!root->child(0)->isExpanded());
        QVERIFY(w->tv()->currentItem() == nullptr);
        QVERIFY(w->tv()->selectedItems().isEmpty());
        QCOMPARE(w->DownloadMirrors().size(), size_t(2));
        QCOMPARE(w->SavedPanel4Width(), 168);
        QCOMPARE(w->SavedPanel3Height(), 176);
    }

    void closingWritesTheLayoutAndTheNextStartRestoresIt()
    {
        {
            writeSettings({{"WindowMax", "N"}});
            auto w = start(folder());
            w->setPanel4Width(150);
            w->setPanel3Height(210);
            w->close();
        }
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        for (const char *name :
             {"WindowMax", "WindowLeft", "WindowTop", "WindowWidth", "WindowHeight", "Panel3Height", "Panel4Width"})
            QVERIFY2(store.contains(name), name);
        QCOMPARE(store.value("WindowMax").toString(), QStringLiteral("N"));
        QCOMPARE(store.value("Panel4Width").toString(), QStringLiteral("150"));
        QCOMPARE(store.value("Panel3Height").toString(), QStringLiteral("210"));

        auto again = start(folder());
        QVERIFY(!(again->windowState() & Qt::WindowMaximized));
        QCOMPARE(again->panel4Width(), 150);
        QCOMPARE(again->panel3Height(), 210);
        QCOMPARE(again->SavedPanel4Width(), 150);
        QCOMPARE(again->width(), store.value("WindowWidth").toInt());
    }

    void oddStoredValues()
    {
        writeSettings({{"Panel3Height", "0"}, {"Panel4Width", "-5"}, {"WindowMax", "N"}, {"WindowLeft", "left"},
                       {"WindowTop", "40"}});
        auto w = start(folder());
        QCOMPARE(w->panel3Height(), 1);
        QCOMPARE(w->panel4Width(), 1);
        QVERIFY(!(w->windowState() & Qt::WindowMaximized));
        QCOMPARE(w->currentLayout().left, 201);
        QCOMPARE(w->currentLayout().top, 40);
    }

    void fullScreenToggle()
    {
        auto w = start(folder());
        w->setPanel4Width(250); // moved before the toggle: leaving full screen still gives start-up sizes
        w->ToolButton14Click();
        QCOMPARE(w->panel4Width(), 1);
        QCOMPARE(w->panel3Height(), 1);
        w->ToolButton14Click();
        QCOMPARE(w->panel4Width(), 168);
        QCOMPARE(w->panel3Height(), 176);

        w->setPanel4Width(1); // only the tree collapsed: the toggle collapses both
        w->ToolButton14Click();
        QCOMPARE(w->panel3Height(), 1);

        writeSettings({{"Panel3Height", "1"}, {"Panel4Width", "1"}});
        auto ended = start(folder());
        ended->ToolButton14Click();
        QCOMPARE(ended->panel4Width(), 169);
        QCOMPARE(ended->panel3Height(), 176);
    }

    void navigationOnAClosedListIsReported()
    {
        auto w = start(folder());
        guarded([&] { w->ToolButton19Click(); });
        QCOMPARE(m_errors.size(), 1);
    }

    void missingArchiveIsReportedAndTheWindowStaysUsable()
    {
        QTemporaryDir empty;
        auto w = start((empty.path() + '/').toStdString());
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.first().contains("velm.mdb"));
        QCOMPARE(w->tv()->topLevelItemCount(), 0);
        QCOMPARE(w->treeBuilds(), 0);
        QVERIFY(w->isVisible());
    }

    void choosingAForumListsItsTopicsNewestFirst()
    {
        auto w = start(folder());
        QTreeWidgetItem *forum = findForum(w->tv(), 101);
        QVERIFY(forum);
        w->tv()->setCurrentItem(forum);
        QCOMPARE(w->CurrentForumId(), 101);
        QCOMPARE(w->topicQueries(), 1);
        QAbstractItemModel *model = w->DBGrid1()->model();
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(model->columnCount(), 6);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("主題"));
        QStringList subjects;
        for (int row = 0; row < model->rowCount(); ++row)
            subjects << model->index(row, 0).data().toString();
        QCOMPARE(subjects, (QStringList{"socket 與 thread 一起用", "TreeView", "ListBox 的 Items 如何排序",
                                        "如何在 Delphi 中讀取 INI 檔?"}));
        QCOMPARE(model->index(3, 1).data().toString(), QStringLiteral("2003/01/15"));
        QCOMPARE(model->index(3, 3).data().toInt(), 3);
        QVERIFY(model->index(3, 3).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);

        // The same node again runs nothing; a category between makes the forum list anew.
        w->tvChange(forum);
        QCOMPARE(w->topicQueries(), 1);
        w->tvChange(forum->parent());
        QCOMPARE(w->topicQueries(), 1);
        QCOMPARE(model->rowCount(), 4); // a category keeps the list
        w->tvChange(forum);
        QCOMPARE(w->topicQueries(), 2);

        // The first row's page follows 250 ms after the list opens.
        QTRY_COMPARE_WITH_TIMEOUT(w->articleLoads(), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(w->WebBrowser1()).contains("socket 與 thread 一起用"), 15000);
    }

    void movesWithinTheWaitLoadOnePage()
    {
        QTemporaryDir folder;
        writeBusyArchive(folder.filePath("velm.sqlite"), 12);
        auto w = start((folder.path() + '/').toStdString());
        w->tv()->setCurrentItem(findForum(w->tv(), 7));
        QTRY_COMPARE_WITH_TIMEOUT(w->articleLoads(), 1, 5000);
        w->DBGrid1()->setFocus();
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(w->DBGrid1(), Qt::Key_Down);
        QCOMPARE(w->ADOTopic().recNo(), 5);
        QCOMPARE(w->articleLoads(), 1);
        QTest::qWait(600);
        QCOMPARE(w->articleLoads(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(w->WebBrowser1()).contains("Subject 6"), 15000);

        // Toolbar moves follow the same road.
        w->ToolButton21Click();
        QCOMPARE(w->ADOTopic().recNo(), 11);
        QCOMPARE(w->DBGrid1()->currentIndex().row(), 11);
        w->ToolButton20Click();
        QCOMPARE(w->ADOTopic().recNo(), 0);

        // One wheel message moves one row whatever its size; the grid does not scroll by itself.
        wheel(w->DBGrid1(), -360);
        QCOMPARE(w->ADOTopic().recNo(), 1);
        wheel(w->DBGrid1(), -120);
        wheel(w->DBGrid1(), -120);
        QCOMPARE(w->ADOTopic().recNo(), 3);
        wheel(w->DBGrid1(), 120);
        QCOMPARE(w->ADOTopic().recNo(), 2);

        // An empty forum: the wheel does nothing and the page stays.
        w->tv()->setCurrentItem(findForum(w->tv(), 8));
        QCOMPARE(w->DBGrid1()->model()->rowCount(), 0);
        QVERIFY(wheel(w->DBGrid1(), -120));
        QTest::qWait(400);
        QCOMPARE(w->articleLoads(), 2);
    }

    void topicLinksOpenFromTheArchive()
    {
        auto w = start(folder());
        w->LoadArticle("1001");
        QTRY_VERIFY_WITH_TIMEOUT(pageText(w->WebBrowser1()).contains("如何在 Delphi 中讀取 INI 檔"), 15000);
        const int loads = w->articleLoads();
        // Any host, any letter case: cancelled, and the topic comes from the archive.
        w->WebBrowser1()->setUrl(QUrl("http://elsewhere.example/Topic.Asp?Topic_Id=1002&whatever=1"));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(w->WebBrowser1()).contains("ListBox 的 Items 如何排序"), 15000);
        QCOMPARE(w->articleLoads(), loads + 1);
        QCOMPARE(w->WebBrowser1()->url().scheme(), QStringLiteral("velm-article"));
        // A topic the archive lacks: cancelled, page kept.
        QVERIFY(w->WebBrowser1BeforeNavigate2(QUrl("http://velm.example/topic.asp?topic_id=99999")));
        QVERIFY(w->WebBrowser1BeforeNavigate2(QUrl("http://velm.example/topic.asp?topic_id=")));
        // Other links go ahead.
        QVERIFY(!w->WebBrowser1BeforeNavigate2(QUrl("http://velm.example/link.asp?topic_id=1002")));
        QTest::qWait(300);
        QVERIFY(pageText(w->WebBrowser1()).contains("ListBox 的 Items 如何排序"));
    }

    void clickOnATopicLink()
    {
        auto w = start(folder());
        QWebEngineView *view = w->WebBrowser1();
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        view->setHtml(QStringLiteral("<html><body style='margin:0'><a style='display:block;height:200px' "
                                     "href='http://velm.example/topic.asp?topic_id=1002'>1002</a></body></html>"));
        QVERIFY(loaded.wait(15000));
        const int loads = w->articleLoads();
        QWidget *surface = view->focusProxy() ? view->focusProxy() : view;
        QTRY_VERIFY_WITH_TIMEOUT(surface->isVisible(), 5000);
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(20, 20));
        QTRY_COMPARE_WITH_TIMEOUT(w->articleLoads(), loads + 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("ListBox 的 Items 如何排序"), 15000);
        QCOMPARE(view->url().scheme(), QStringLiteral("velm-article"));
    }

    void clicksMoveTheFocus()
    {
        auto w = start(folder());
        w->EditSearch()->setFocus();
        QTest::mouseClick(w->DBGrid1()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(w->DBGrid1()->hasFocus());
    }

    void progressWindow()
    {
        TFormProgress progress;
        QCOMPARE(progress.windowTitle(), QStringLiteral("資料載入進度"));
        QCOMPARE(progress.size(), QSize(519, 32));
        QVERIFY(!(progress.windowFlags() & Qt::WindowCloseButtonHint));
        progress.setRange(0, 0);
        progress.setPosition(5);
        progress.show();
        QVERIFY(progress.isVisible());
        QCOMPARE(progress.ProgressBar1()->value(), 0); // empty, never the busy animation
        QVERIFY(progress.ProgressBar1()->maximum() > progress.ProgressBar1()->minimum());
        progress.setCaption("again");
        progress.show();
        QVERIFY(progress.isVisible());
        QCOMPARE(progress.windowTitle(), QStringLiteral("again"));
        QWidget &asWidget = progress;
        asWidget.close(); // what the title bar would do
        QVERIFY(progress.isVisible());
        progress.setRange(0, 10);
        progress.setPosition(4);
        QCOMPARE(progress.ProgressBar1()->value(), 4);
        progress.close();
        QVERIFY(!progress.isVisible());
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerArticleScheme();
    QApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
