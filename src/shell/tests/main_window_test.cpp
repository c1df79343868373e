#include "base/cp950.h"
#include "base/qtext.h"
#include "settings/settings.h"
#include "shell/article_view.h"
#include "shell/main_window.h"
#include "shell/testing/main_window_probe.h"
#include "shell/tests/test_archive.h"
#include "shell/tests/window_test_support.h"
#include "shell/topic_model.h"
#include "shell_widgets/messages.h"
#include "shell_widgets/progress_window.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>

#include <chrono>
#include <filesystem>
#include <memory>

using namespace velm;
using velm::test::findForum;
using velm::test::pageText;
using velm::test::writeSettings;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_programFolder;
    QStringList m_errors;
    QStringList m_messages;  // information boxes
    QStringList m_questions; // yes/no boxes, answered with m_answerYes
    bool m_answerYes = false;

    void installMessageHooks()
    {
        setMessageHooks({[this](const Big5Text &text) { m_messages << qFromCp950(text); },
                         [this](const Big5Text &text) {
                             m_questions << qFromCp950(text);
                             return m_answerYes;
                         },
                         [this](const std::string &text) { m_errors << QString::fromStdString(text); }});
    }

    std::unique_ptr<TfmMain> start(const std::string &folder) { return test::startWindow(folder); }

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
        QString sql = QStringLiteral("INSERT INTO FORUM_MEMBERS VALUES (1, 'writer');"
                                     "INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top', 1, 1);"
                                     "INSERT INTO FORUM_FORUM VALUES (7, 1, 'Busy');"
                                     "INSERT INTO FORUM_FORUM VALUES (8, 1, 'Empty');");
        for (int i = 1; i <= topics; ++i)
            sql +=
                QStringLiteral("INSERT INTO FORUM_TOPICS VALUES (%1, 7, 1, 'Subject %1', 'Body %1', '2004010100000%2',"
                               " 1, 0, '200401%3000000', 'N', 0, '', 0);")
                    .arg(i)
                    .arg(i % 10)
                    .arg(40 - i, 2, 10, QLatin1Char('0'));
        writeTestArchive(path, sql);
    }

    std::string folder() const { return (m_programFolder.path() + '/').toStdString(); }

    bool isStartupArchive(TfmMain &w) const
    {
        return QFileInfo(QString::fromStdString(probe(w).ADOConnection1().databasePath())).canonicalFilePath() ==
               QFileInfo(m_programFolder.filePath("velm.sqlite")).canonicalFilePath();
    }

    static void writeSettingsFile(const QByteArray &content)
    {
        QFile file(QString::fromStdString(settingsFilePath(kAppKey)));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
    }

    // Answers the next file dialog, once it is up, with the given file.
    static void answerFileDialog(const QString &file, QDeadlineTimer deadline = QDeadlineTimer(30000))
    {
        QTimer::singleShot(0, [file, deadline] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                if (!deadline.hasExpired())
                    answerFileDialog(file, deadline);
                return;
            }
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

    static void clickTool(TfmMain &w, const char *name)
    {
        auto *button = w.findChild<QToolButton *>(name);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Delivers the layout requests a change left pending, one level of panes after the other up to the
    // window, as the event loop would.
    static void settleLayouts()
    {
        for (int level = 0; level < 16; ++level)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }

    // The window lies on the screen's available area, and each of its controls inside the window.
    static void verifyOnScreen(TfmMain &w)
    {
        const QRect screen = w.screen()->availableGeometry();
        const QRect frame = w.frameGeometry();
        QVERIFY2(screen.contains(frame), qPrintable(QStringLiteral("window %1,%2 %3x%4 on %5x%6")
                                                        .arg(frame.x())
                                                        .arg(frame.y())
                                                        .arg(frame.width())
                                                        .arg(frame.height())
                                                        .arg(screen.width())
                                                        .arg(screen.height())));
        for (const char *name : {"StatusBar1", "WebBrowserDemo", "PageControl1", "Panel3", "Panel4", "ToolBar1"}) {
            const auto *control = w.findChild<QWidget *>(name);
            QVERIFY2(control, name);
            const QRect place(control->mapTo(&w, QPoint(0, 0)), control->size());
            QVERIFY2(w.rect().contains(place), name);
        }
        QVERIFY(probe(w).panel3Height() <= screen.height());
        QVERIFY(probe(w).panel4Width() <= screen.width());
    }

    static void drag(QWidget *bar, const QPoint &globalTarget)
    {
        const QPoint grip(bar->width() / 2, bar->height() / 2);
        QTest::mousePress(bar, Qt::LeftButton, {}, grip);
        QTest::mouseMove(bar, bar->mapFromGlobal(globalTarget));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(globalTarget));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_programFolder.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb",
                                   m_programFolder.filePath("velm.mdb").toStdString());
        installMessageHooks();
    }

    void init()
    {
        m_errors.clear();
        m_messages.clear();
        m_questions.clear();
        m_answerYes = false;
        writeSettings({});
    }

    void firstRunOpensMaximizedWithTheTreeBuiltOnce()
    {
        auto w = start(folder());
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(probe(*w).panel4Width(), 168);
        QCOMPARE(probe(*w).panel3Height(), 176);
        QCOMPARE(w->windowTitle(), QStringLiteral("velm.sqlite - Velm討論區 離線閱讀包 V1.6.quorin"));
        QCOMPARE(probe(*w).treeBuilds(), 1);
        QCOMPARE(probe(*w).tv()->topLevelItemCount(), 1);
        QTreeWidgetItem *root = probe(*w).tv()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Velm討論區"));
        QVERIFY(root->isExpanded());
        QCOMPARE(root->childCount(), 6);
        QVERIFY(!root->child(0)->isExpanded());
        QVERIFY(probe(*w).tv()->currentItem() == nullptr);
        QVERIFY(probe(*w).tv()->selectedItems().isEmpty());
        QCOMPARE(probe(*w).DownloadMirrors().size(), size_t(2));
        QCOMPARE(probe(*w).SavedPanel4Width(), 168);
        QCOMPARE(probe(*w).SavedPanel3Height(), 176);
    }

    void closingWritesTheLayoutAndTheNextStartRestoresIt()
    {
        {
            writeSettings({{"WindowMax", "N"}});
            auto w = start(folder());
            probe(*w).setPanel4Width(150);
            probe(*w).setPanel3Height(210);
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
        QCOMPARE(probe(*again).panel4Width(), 150);
        QCOMPARE(probe(*again).panel3Height(), 210);
        QCOMPARE(probe(*again).SavedPanel4Width(), 150);
        QCOMPARE(again->width(), store.value("WindowWidth").toInt());
    }

    void oddStoredValues()
    {
        writeSettings({{"Panel3Height", "0"},
                       {"Panel4Width", "-5"},
                       {"WindowMax", "N"},
                       {"WindowLeft", "left"},
                       {"WindowTop", "40"},
                       {"WindowWidth", "400"}});
        auto w = start(folder());
        QCOMPARE(probe(*w).panel3Height(), 1);
        QCOMPARE(probe(*w).panel4Width(), 1);
        QVERIFY(!(w->windowState() & Qt::WindowMaximized));
        QCOMPARE(probe(*w).currentLayout().left, 201);
        QCOMPARE(probe(*w).currentLayout().top, 40);
    }

    // Whatever the settings file holds, the reader starts, on the screen, with a font it can show.
    void settingsFileOfAnyContentStillStarts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("rectangles") << QByteArray("[General]\nWindowMax=N\nWindowLeft=@Rect(1 2 3 4)\n"
                                                  "WindowWidth=@Rect(0 0 9999 9999)\nPanel3Height=@Rect(0 0 1 1)\n");
        QTest::newRow("byte arrays") << QByteArray(
            "[General]\nDefaultFontName=@ByteArray(\\xff\\0junk)\n"
            "DefaultFontSize=@ByteArray(12)\nForumBaseURL=@ByteArray(http://x/)\n");
        QTest::newRow("variants") << QByteArray(
            "[General]\nWindowMax=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\tNoSuchType)\n"
            "Panel4Width=@Variant(junk)\nDownloadMirror1=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\0\\x5)\n");
        QTest::newRow("comma lists") << QByteArray("[General]\nDefaultFontName=Arial, Bold\nWindowMax=N, Y\n"
                                                   "DownloadMirror2=http://a/, http://b/\n");
        static constexpr char junk[] = "\xff\xfe\0[Gen\x01\x02\neral]\0\nWindowMax=\0\x9c\n"
                                       "DefaultFontName=\xe7\0\x80\n\x1b[2J=\xff\n";
        QTest::newRow("binary junk") << QByteArray(junk, sizeof junk - 1);
        QTest::newRow("largest numbers") << QByteArray("[General]\nWindowMax=N\nWindowLeft=2147483647\n"
                                                       "WindowTop=-2147483648\nWindowWidth=2147483647\n"
                                                       "WindowHeight=2147483647\nPanel3Height=2147483647\n"
                                                       "Panel4Width=2147483647\n");
        QTest::newRow("window larger than the screen")
            << QByteArray("[General]\nWindowMax=N\nWindowWidth=20000\nWindowHeight=20000\n");
        QTest::newRow("panes larger than the screen") << QByteArray("[General]\nPanel3Height=5000\nPanel4Width=5000\n");
        QTest::newRow("huge font") << QByteArray("[General]\nDefaultFontSize=100000\n");
    }

    void settingsFileOfAnyContentStillStarts()
    {
        QFETCH(QByteArray, content);
        writeSettingsFile(content);
        auto w = start(folder());
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QVERIFY(w->isVisible());
        QCOMPARE(probe(*w).tv()->topLevelItemCount(), 1);
        settleLayouts();
        verifyOnScreen(*w);
        QVERIFY(w->font().pointSize() >= kMinFontSize && w->font().pointSize() <= kMaxFontSize);
        QCOMPARE(probe(*w).DownloadMirrors().size(), size_t(2));
        for (const std::string &mirror : probe(*w).DownloadMirrors())
            QVERIFY(mirror.rfind("http://", 0) == 0 && mirror.find(',') == std::string::npos);
    }

    void storedWindowIsKeptOnTheScreen()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        // Fits: taken as stored.
        writeSettings({{"WindowMax", "N"},
                       {"WindowLeft", "10"},
                       {"WindowTop", "20"},
                       {"WindowWidth", "300"},
                       {"WindowHeight", "200"}});
        auto fits = start(folder());
        QCOMPARE(fits->pos(), QPoint(10, 20));
        QCOMPARE(fits->size(), QSize(300, 200));
        // Half off the screen: moved onto it, its size kept.
        writeSettings({{"WindowMax", "N"},
                       {"WindowLeft", QString::number(screen.right() - 50)},
                       {"WindowTop", "-40"},
                       {"WindowWidth", "300"},
                       {"WindowHeight", "200"}});
        auto moved = start(folder());
        QCOMPARE(moved->size(), QSize(300, 200));
        QVERIFY(screen.contains(moved->frameGeometry()));
    }

    // A splitter dragged to the window's edge leaves the window as it was, with all its controls on screen.
    void draggingASplitterToTheEdgeKeepsTheWindowOnTheScreen()
    {
        auto w = start(folder());
        QVERIFY(w->isMaximized());
        settleLayouts();
        const QSize size = w->size();
        const QRect screen = w->screen()->availableGeometry();

        QWidget *topics = w->findChild<QWidget *>("Panel3");
        const int topicsHeight = topics->height();
        drag(w->findChild<QWidget *>("Splitter2"), QPoint(screen.center().x(), screen.bottom() + 100));
        settleLayouts();
        QCOMPARE(w->size(), size);
        QVERIFY(w->isMaximized());
        QVERIFY(topics->height() > topicsHeight + 100); // the list took the room there was
        verifyOnScreen(*w);

        QWidget *tree = w->findChild<QWidget *>("Panel4");
        const int treeWidth = tree->width();
        drag(w->findChild<QWidget *>("Splitter1"), QPoint(screen.right() + 100, screen.center().y()));
        settleLayouts();
        QCOMPARE(w->size(), size);
        QVERIFY(tree->width() > treeWidth + 100);
        verifyOnScreen(*w);

        // Dragged back from where they are shown, not from the larger size they were set to.
        const int shownHeight = topics->height();
        QWidget *bar = w->findChild<QWidget *>("Splitter2");
        drag(bar, bar->mapToGlobal(QPoint(bar->width() / 2, bar->height() / 2 - 50)));
        settleLayouts();
        QCOMPARE(topics->height(), shownHeight - 50);
        QCOMPARE(probe(*w).panel3Height(), shownHeight - 50);
    }

    void fullScreenToggle()
    {
        auto w = start(folder());
        probe(*w).setPanel4Width(250); // moved before the toggle: leaving full screen still gives start-up sizes
        w->ToolButton14Click();
        QCOMPARE(probe(*w).panel4Width(), 1);
        QCOMPARE(probe(*w).panel3Height(), 1);
        w->ToolButton14Click();
        QCOMPARE(probe(*w).panel4Width(), 168);
        QCOMPARE(probe(*w).panel3Height(), 176);

        probe(*w).setPanel4Width(1); // only the tree collapsed: the toggle collapses both
        w->ToolButton14Click();
        QCOMPARE(probe(*w).panel3Height(), 1);

        writeSettings({{"Panel3Height", "1"}, {"Panel4Width", "1"}});
        auto ended = start(folder());
        ended->ToolButton14Click();
        QCOMPARE(probe(*ended).panel4Width(), 169);
        QCOMPARE(probe(*ended).panel3Height(), 176);
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
        QCOMPARE(probe(*w).tv()->topLevelItemCount(), 0);
        QCOMPARE(probe(*w).treeBuilds(), 0);
        QVERIFY(w->isVisible());
    }

    void choosingAForumListsItsTopicsNewestFirst()
    {
        auto w = start(folder());
        QTreeWidgetItem *forum = findForum(probe(*w).tv(), 101);
        QVERIFY(forum);
        probe(*w).tv()->setCurrentItem(forum);
        QCOMPARE(probe(*w).CurrentForumId(), 101);
        QCOMPARE(probe(*w).topicQueries(), 1);
        QAbstractItemModel *model = probe(*w).DBGrid1()->model();
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
        QCOMPARE(probe(*w).topicQueries(), 1);
        w->tvChange(forum->parent());
        QCOMPARE(probe(*w).topicQueries(), 1);
        QCOMPARE(model->rowCount(), 4); // a category keeps the list
        w->tvChange(forum);
        QCOMPARE(probe(*w).topicQueries(), 2);

        // The first row's page follows 250 ms after the list opens.
        QTRY_COMPARE_WITH_TIMEOUT(probe(*w).articleLoads(), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("socket 與 thread 一起用"), 15000);
    }

    void movesWithinTheWaitLoadOnePage()
    {
        QTemporaryDir folder;
        writeBusyArchive(folder.filePath("velm.sqlite"), 12);
        auto w = start((folder.path() + '/').toStdString());
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 7));
        QTRY_COMPARE_WITH_TIMEOUT(probe(*w).articleLoads(), 1, 5000);
        probe(*w).DBGrid1()->setFocus();
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(probe(*w).DBGrid1(), Qt::Key_Down);
        QCOMPARE(probe(*w).ADOTopic().recNo(), 5);
        QCOMPARE(probe(*w).articleLoads(), 1);
        // The page comes when the wait that every move restarts runs out.
        QTRY_VERIFY_WITH_TIMEOUT(!probe(*w).Timer1()->isActive(), 5000);
        QCOMPARE(probe(*w).articleLoads(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("Subject 6"), 15000);

        // The list holds the columns it shows; bodies are read only by the page.
        QVERIFY(probe(*w).ADOTopic().fieldByName("T_MESSAGE").value().isEmpty());
        QVERIFY(!probe(*w).ADOTopic().fieldByName("T_SUBJECT").value().isEmpty());

        // Toolbar moves follow the same road.
        w->ToolButton21Click();
        QCOMPARE(probe(*w).ADOTopic().recNo(), 11);
        QCOMPARE(probe(*w).DBGrid1()->currentIndex().row(), 11);
        w->ToolButton20Click();
        QCOMPARE(probe(*w).ADOTopic().recNo(), 0);

        // One wheel message moves one row whatever its size; the grid does not scroll by itself.
        wheel(probe(*w).DBGrid1(), -360);
        QCOMPARE(probe(*w).ADOTopic().recNo(), 1);
        wheel(probe(*w).DBGrid1(), -120);
        wheel(probe(*w).DBGrid1(), -120);
        QCOMPARE(probe(*w).ADOTopic().recNo(), 3);
        wheel(probe(*w).DBGrid1(), 120);
        QCOMPARE(probe(*w).ADOTopic().recNo(), 2);

        // An empty forum: the wheel does nothing and the page stays.
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 8));
        QCOMPARE(probe(*w).DBGrid1()->model()->rowCount(), 0);
        QVERIFY(wheel(probe(*w).DBGrid1(), -120));
        // A page would come when the wait the list started runs out.
        QTRY_VERIFY_WITH_TIMEOUT(!probe(*w).Timer1()->isActive(), 5000);
        QCOMPARE(probe(*w).articleLoads(), 2);
    }

    void topicLinksOpenFromTheArchive()
    {
        auto w = start(folder());
        // The address of the last page the article view finished loading.
        QUrl lastLoaded;
        QObject scope;
        connect(probe(*w).WebBrowser1()->page(), &QWebEnginePage::loadingChanged, &scope,
                [&lastLoaded](const QWebEngineLoadingInfo &info) {
                    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
                        lastLoaded = info.url();
                });
        w->LoadArticle("1001");
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("如何在 Delphi 中讀取 INI 檔"), 15000);
        const int loads = probe(*w).articleLoads();
        // Any host, any letter case: cancelled, and the topic comes from the archive.
        probe(*w).WebBrowser1()->setUrl(QUrl("http://elsewhere.example/Topic.Asp?Topic_Id=1002&whatever=1"));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("ListBox 的 Items 如何排序"), 15000);
        QCOMPARE(probe(*w).articleLoads(), loads + 1);
        QCOMPARE(probe(*w).WebBrowser1()->url().scheme(), QStringLiteral("velm-article"));
        // A topic the archive lacks: cancelled, page kept.
        QVERIFY(w->WebBrowser1BeforeNavigate2(QUrl("http://velm.example/topic.asp?topic_id=99999")));
        QVERIFY(w->WebBrowser1BeforeNavigate2(QUrl("http://velm.example/topic.asp?topic_id=")));
        // Other links go ahead.
        QVERIFY(!w->WebBrowser1BeforeNavigate2(QUrl("http://velm.example/link.asp?topic_id=1002")));
        // A page any of them showed would have been given to the view at once: the text is read once the
        // view has loaded the address it holds.
        QTRY_VERIFY_WITH_TIMEOUT(
            !probe(*w).WebBrowser1()->page()->isLoading() && lastLoaded == probe(*w).WebBrowser1()->url(), 15000);
        QVERIFY(pageText(probe(*w).WebBrowser1()).contains("ListBox 的 Items 如何排序"));
    }

    void clickOnATopicLink()
    {
        auto w = start(folder());
        QWebEngineView *view = probe(*w).WebBrowser1();
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        view->setHtml(QStringLiteral("<html><body style='margin:0'><a style='display:block;height:200px' "
                                     "href='http://velm.example/topic.asp?topic_id=1002'>1002</a></body></html>"));
        QVERIFY(loaded.wait(15000));
        const int loads = probe(*w).articleLoads();
        QWidget *surface = view->focusProxy() ? view->focusProxy() : view;
        QTRY_VERIFY_WITH_TIMEOUT(surface->isVisible(), 5000);
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(20, 20));
        QTRY_COMPARE_WITH_TIMEOUT(probe(*w).articleLoads(), loads + 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("ListBox 的 Items 如何排序"), 15000);
        QCOMPARE(view->url().scheme(), QStringLiteral("velm-article"));
    }

    // After an import the topic list names authors as the archive now does, even when the import failed
    // after merging the members.
    void importShowsTheNewAuthorNames_data()
    {
        QTest::addColumn<QString>("package");
        QTest::addColumn<bool>("fails");
        QTest::newRow("whole package") << QStringLiteral("2004W06.mdb") << false;
        QTest::newRow("package failing at its last table") << QStringLiteral("pkg-no-reply-table.mdb") << true;
    }

    void importShowsTheNewAuthorNames()
    {
        QFETCH(QString, package);
        QFETCH(bool, fails);
        QTemporaryDir dir;
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb", dir.filePath("velm.mdb").toStdString());
        std::filesystem::copy_file((QStringLiteral(VELM_FIXTURES "/") + package).toStdString(),
                                   dir.filePath(package).toStdString());
        auto w = start((dir.path() + '/').toStdString());
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 101));
        QAbstractItemModel *model = probe(*w).DBGrid1()->model();
        QCOMPARE(model->index(2, TopicGridModel::Subject).data().toString(),
                 QStringLiteral("ListBox 的 Items 如何排序"));
        QCOMPARE(model->index(2, TopicGridModel::Author).data().toString(), QStringLiteral("alice"));

        QSignalSpy shownAgain(model, &QAbstractItemModel::dataChanged);
        answerFileDialog(dir.filePath(package));
        clickTool(*w, "ToolButton1");
        QCOMPARE(m_errors.size(), fails ? 1 : 0);
        QCOMPARE(model->index(2, TopicGridModel::Author).data().toString(), QStringLiteral("alice_new"));
        QVERIFY(!shownAgain.isEmpty()); // the grid paints the column anew
        const QModelIndex changedFrom = shownAgain.last().at(0).value<QModelIndex>();
        const QModelIndex changedTo = shownAgain.last().at(1).value<QModelIndex>();
        QVERIFY(changedFrom.row() <= 2 && changedTo.row() >= 2);
        QVERIFY(changedFrom.column() <= TopicGridModel::Author && changedTo.column() >= TopicGridModel::Author);
    }

    // A toolbar import ends as the start-up one: tree rebuilt with the chosen forum kept, status bar
    // cleared, success shown. A package recorded already is imported again only when the user says so.
    void toolbarImportRebuildsTheTreeAndAsksBeforeImportingAgain()
    {
        QTemporaryDir dir;
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb", dir.filePath("velm.mdb").toStdString());
        std::filesystem::copy_file(VELM_FIXTURES "/2004W06.VLP", dir.filePath("2004W06.VLP").toStdString());
        auto w = start((dir.path() + '/').toStdString());
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 101));
        QCOMPARE(probe(*w).CurrentForumId(), 101);
        const int builds = probe(*w).treeBuilds();
        w->setStatusText("stale");

        answerFileDialog(dir.filePath("2004W06.VLP"));
        clickTool(*w, "ToolButton1");
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QVERIFY(m_questions.isEmpty());
        QCOMPARE(m_messages, QStringList{QStringLiteral("補充包匯入成功!")});
        QCOMPARE(probe(*w).treeBuilds(), builds + 1);
        QCOMPARE(probe(*w).statusText(), QString());
        QVERIFY(probe(*w).tv()->currentItem());
        QCOMPARE(probe(*w).tv()->currentItem()->data(0, Qt::UserRole).toLongLong(), 101);
        QCOMPARE(probe(*w).CurrentForumId(), 101);

        // The same package again: "No" leaves everything alone, "Yes" imports it once more.
        m_messages.clear();
        answerFileDialog(dir.filePath("2004W06.VLP"));
        clickTool(*w, "ToolButton1");
        QCOMPARE(m_questions.size(), 1);
        QVERIFY2(m_questions.first().contains(QStringLiteral("2004年06週")), qPrintable(m_questions.first()));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(probe(*w).treeBuilds(), builds + 1);

        m_answerYes = true;
        answerFileDialog(dir.filePath("2004W06.VLP"));
        clickTool(*w, "ToolButton1");
        QCOMPARE(m_questions.size(), 2);
        QCOMPARE(m_messages, QStringList{QStringLiteral("補充包匯入成功!")});
        QCOMPARE(probe(*w).treeBuilds(), builds + 2);
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
    }

    // A package that cannot be expanded says why, and nothing else happens.
    void toolbarImportOfADamagedPackageSaysWhy()
    {
        QTemporaryDir dir;
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb", dir.filePath("velm.mdb").toStdString());
        QFile damaged(dir.filePath("2004W09.VLP"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray("\x10\x00\x00\x00not a zlib stream", 21));
        damaged.close();
        auto w = start((dir.path() + '/').toStdString());
        const int builds = probe(*w).treeBuilds();

        answerFileDialog(damaged.fileName());
        clickTool(*w, "ToolButton1");
        QCOMPARE(m_errors.size(), 1);
        QVERIFY2(m_errors.first().contains(QStringLiteral("補充包無法展開")), qPrintable(m_errors.first()));
        QVERIFY2(m_errors.first().contains(QStringLiteral("2004W09.VLP")), qPrintable(m_errors.first()));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(probe(*w).treeBuilds(), builds);
        QVERIFY(!QFile::exists(dir.filePath("2004W09.mdb")));
    }

    // Simplified characters typed into the quick search box find the traditional posts.
    void quickSearchFindsTraditionalPostsForSimplifiedInput()
    {
        auto w = start(folder());
        w->setStatusText(toCp950("找不到相關資料")); // an earlier advanced search's
        QLineEdit *edit = probe(*w).EditSearch();
        edit->setFocus();
        // Chinese comes through the input method, as a committed string.
        QInputMethodEvent typed;
        typed.setCommitString(QStringLiteral("资料库压缩"));
        QApplication::sendEvent(edit, &typed);
        QCOMPARE(edit->text(), QStringLiteral("资料库压缩"));
        QTest::keyClick(edit, Qt::Key_Return);
        QAbstractItemModel *model = probe(*w).DBGrid1()->model();
        QTRY_COMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, TopicGridModel::Subject).data().toString(), QStringLiteral("Jet 資料庫壓縮"));
        QVERIFY2(!probe(*w).statusText().contains(QStringLiteral("找不到相關資料")),
                 qPrintable(probe(*w).statusText()));
        QVERIFY(m_messages.isEmpty());
    }

    // The archive dialog starts on a filter that lists Access and SQLite archives alike.
    void archiveDialogListsSqliteArchives()
    {
        auto w = start(folder());
        QStringList filters;
        QString selected;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            filters = dialog->nameFilters();
            selected = dialog->selectedNameFilter();
            dialog->reject();
        });
        poll.start();
        clickTool(*w, "ToolButton2");
        QVERIFY(!filters.isEmpty());
        QCOMPARE(selected, filters.first());
        QVERIFY2(selected.contains("*.sqlite") && selected.contains("*.mdb"), qPrintable(selected));
        QVERIFY(m_errors.isEmpty());
    }

    // A file that is no archive leaves the open archive, its tree, list and page as they were, and usable.
    void choosingAFileThatIsNoArchiveKeepsTheOpenOne_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("text") << QStringLiteral("notes.mdb") << QByteArray("not an archive\n");
        QTest::newRow("empty file") << QStringLiteral("empty.mdb") << QByteArray();
        QTest::newRow("database without forum tables") << QStringLiteral("other.sqlite") << QByteArray();
    }

    void choosingAFileThatIsNoArchiveKeepsTheOpenOne()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString file = dir.filePath(name);
        if (name.endsWith(".sqlite")) {
            QProcess sqlite;
            sqlite.start("sqlite3", {file, "CREATE TABLE NOTES (N TEXT);"});
            QVERIFY(sqlite.waitForFinished(30000));
            QCOMPARE(sqlite.exitCode(), 0);
        } else {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(content);
        }

        auto w = start(folder());
        const std::string archive = probe(*w).ADOConnection1().databasePath();
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 101));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("socket 與 thread 一起用"), 15000);
        const int builds = probe(*w).treeBuilds();

        answerFileDialog(file);
        clickTool(*w, "ToolButton2");
        QCOMPARE(m_errors.size(), 1);
        QVERIFY2(m_errors.first().contains(name), qPrintable(m_errors.first()));

        // Nothing changed...
        QVERIFY(probe(*w).ADOConnection1().connected());
        QCOMPARE(probe(*w).ADOConnection1().databasePath(), archive);
        QCOMPARE(probe(*w).treeBuilds(), builds);
        QVERIFY(findForum(probe(*w).tv(), 101));
        QCOMPARE(probe(*w).DBGrid1()->model()->rowCount(), 4);
        QCOMPARE(probe(*w).DBGrid1()->model()->index(0, 0).data().toString(),
                 QStringLiteral("socket 與 thread 一起用"));
        QVERIFY(pageText(probe(*w).WebBrowser1()).contains("socket 與 thread 一起用"));

        // ...and all of it still works.
        const int loads = probe(*w).articleLoads();
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 103));
        QVERIFY(probe(*w).DBGrid1()->model()->rowCount() > 0);
        const QString first = probe(*w).DBGrid1()->model()->index(0, TopicGridModel::Subject).data().toString();
        QTRY_COMPARE_WITH_TIMEOUT(probe(*w).articleLoads(), loads + 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains(first), 15000);
        QCOMPARE(m_errors.size(), 1);
    }

    // The next start opens the archive chosen, the forum and the topic the last one showed, and writes them
    // again on closing; once that archive is removed the start is the usual one, without a word.
    void theNextStartOpensTheLastPlace()
    {
        QTemporaryDir dir;
        const QString other = dir.filePath("other.sqlite");
        const QString listBox = QStringLiteral("ListBox 的 Items 如何排序");
        QString topicId;
        {
            auto w = start(folder());
            const std::string startupArchive = probe(*w).ADOConnection1().databasePath();
            std::filesystem::copy_file(startupArchive, other.toStdString());
            answerFileDialog(other);
            clickTool(*w, "ToolButton2");
            QCOMPARE(probe(*w).ADOConnection1().databasePath(), other.toStdString());
            QTreeWidgetItem *forum = findForum(probe(*w).tv(), 101);
            QVERIFY(forum);
            probe(*w).tv()->scrollToItem(forum);
            const QRect place = probe(*w).tv()->visualItemRect(forum);
            QVERIFY(!place.isEmpty());
            QTest::mouseClick(probe(*w).tv()->viewport(), Qt::LeftButton, {}, place.center());
            QCOMPARE(probe(*w).CurrentForumId(), 101);
            // Two rows down the list, by the keys.
            probe(*w).DBGrid1()->setFocus();
            QTest::keyClick(probe(*w).DBGrid1(), Qt::Key_Down);
            QTest::keyClick(probe(*w).DBGrid1(), Qt::Key_Down);
            QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains(listBox), 15000);
            topicId = QString::fromStdString(probe(*w).history().current()->topicId);
            // Written as they change...
            QSettings stored(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
            QCOMPARE(stored.value("LastForumID").toString(), QStringLiteral("101"));
            QCOMPARE(stored.value("LastTopicID").toString(), topicId);
            // ...and on closing, over whatever stands there.
            writeSettings({});
            QVERIFY(w->close());
        }
        {
            QSettings stored(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
            QCOMPARE(QUrl(stored.value("LastArchive").toString()).toLocalFile(), other);
            QCOMPARE(stored.value("LastForumID").toString(), QStringLiteral("101"));
            QCOMPARE(stored.value("LastTopicID").toString(), topicId);
        }
        {
            auto w = start(folder());
            QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
            QCOMPARE(probe(*w).ADOConnection1().databasePath(), other.toStdString());
            QTreeWidgetItem *forum = findForum(probe(*w).tv(), 101);
            QVERIFY(forum);
            QCOMPARE(probe(*w).tv()->currentItem(), forum);
            QCOMPARE(probe(*w).CurrentForumId(), 101);
            for (QTreeWidgetItem *up = forum->parent(); up; up = up->parent())
                QVERIFY(up->isExpanded());
            QCOMPARE(probe(*w).DBGrid1()->currentIndex().row(), 2);
            QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains(listBox), 15000);
            // The kept topic is the one shown: the list's wait does not replace it with its row.
            QVERIFY(!probe(*w).Timer1()->isActive());
            QCOMPARE(probe(*w).articleLoads(), 1);
            QCOMPARE(QString::fromStdString(probe(*w).history().current()->topicId), topicId);
            QVERIFY(w->close());
        }
        QVERIFY(QFile::remove(other));
        {
            auto w = start(folder());
            QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
            QVERIFY(m_messages.isEmpty());
            QVERIFY(isStartupArchive(*w));
            QVERIFY(probe(*w).tv()->topLevelItemCount() > 0);
            QCOMPARE(probe(*w).tv()->currentItem(), nullptr);
            QCOMPARE(probe(*w).CurrentForumId(), 0);
            QVERIFY(!probe(*w).Timer1()->isActive());
            QCOMPARE(probe(*w).articleLoads(), 0);
            QVERIFY(w->close());
        }
        QSettings stored(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        QCOMPARE(stored.value("LastArchive").toString(), QString());
        QCOMPARE(stored.value("LastForumID").toString(), QString());
    }

    // A kept forum or topic that is not in the archive, or a stored value of the wrong kind, is left out.
    void keptPlaceThatIsGoneOrOddIsLeftOut_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qlonglong>("forum");
        QTest::newRow("forum and topic gone") << QByteArray("[General]\nLastForumID=999\nLastTopicID=999999\n") << 0LL;
        QTest::newRow("topic gone") << QByteArray("[General]\nLastForumID=101\nLastTopicID=999999\n") << 101LL;
        QTest::newRow("odd values") << QByteArray("[General]\nLastArchive=@ByteArray(/nowhere)\nLastForumID=abc\n"
                                                  "LastTopicID=-4\n")
                                    << 0LL;
        QTest::newRow("archive address of another kind")
            << QByteArray("[General]\nLastArchive=http://x/a.sqlite\nLastForumID=101\n") << 101LL;
    }

    void keptPlaceThatIsGoneOrOddIsLeftOut()
    {
        QFETCH(QByteArray, content);
        QFETCH(qlonglong, forum);
        writeSettingsFile(content);
        auto w = start(folder());
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QVERIFY(isStartupArchive(*w));
        QCOMPARE(probe(*w).CurrentForumId(), forum);
        if (forum > 0) {
            // The forum's list shows its first row's page, as after a click on the forum.
            QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("socket 與 thread 一起用"), 15000);
        } else {
            QVERIFY(!probe(*w).Timer1()->isActive());
            QCOMPARE(probe(*w).history().current(), nullptr);
            QCOMPARE(probe(*w).WebBrowser1()->url(), QUrl("about:blank"));
        }
    }

    // Another archive replaces the tree, empties the list and the page, and lists any forum chosen in it.
    void choosingAnotherArchiveShowsOnlyIt()
    {
        auto w = start(folder());
        QTemporaryDir dir;
        const QString other = dir.filePath("other.sqlite");
        std::filesystem::copy_file(probe(*w).ADOConnection1().databasePath(), other.toStdString());
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 101));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("socket 與 thread 一起用"), 15000);
        const int builds = probe(*w).treeBuilds();

        answerFileDialog(other);
        clickTool(*w, "ToolButton2");
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QCOMPARE(probe(*w).ADOConnection1().databasePath(), other.toStdString());
        QCOMPARE(w->windowTitle(), QStringLiteral("other.sqlite - Velm討論區 離線閱讀包 V1.6.quorin"));
        QCOMPARE(probe(*w).treeBuilds(), builds + 1);
        QCOMPARE(probe(*w).DBGrid1()->model()->rowCount(), 0);
        QCOMPARE(probe(*w).WebBrowser1()->url(), QUrl("about:blank"));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).isEmpty(), 15000);
        // The place kept belonged to the archive closed.
        QSettings stored(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        QCOMPARE(stored.value("LastForumID").toString(), QString());
        QCOMPARE(stored.value("LastTopicID").toString(), QString());

        // The forum of the same number as before is listed from the new archive.
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 101));
        QCOMPARE(probe(*w).DBGrid1()->model()->rowCount(), 4);
        QVERIFY(m_errors.isEmpty());
    }

    void aChangedAccessArchiveIsConvertedAgainOnlyWhenTheUserSaysSo()
    {
        QTemporaryDir dir;
        const std::string folder = (dir.path() + '/').toStdString();
        const std::string mdb = folder + "velm.mdb";
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb", mdb);
        start(folder);
        QVERIFY(std::filesystem::exists(folder + "velm.sqlite"));
        // A newer full archive is put in its place.
        std::filesystem::last_write_time(mdb, std::filesystem::last_write_time(mdb) + std::chrono::hours(1));

        QStringList asked;
        bool answer = false;
        setMessageHooks({{},
                         [&](const Big5Text &text) {
                             asked << QString::fromStdString(text.toUtf8());
                             return answer;
                         },
                         [this](const std::string &text) { m_errors << QString::fromStdString(text); }});
        start(folder);
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains(dir.path()) && asked[0].contains(QStringLiteral("velm.mdb")), qPrintable(asked[0]));
        QVERIFY(!std::filesystem::exists(folder + "velm.sqlite.old"));

        answer = true;
        auto w = start(folder);
        QCOMPARE(asked.size(), 2);
        QVERIFY(std::filesystem::exists(folder + "velm.sqlite.old"));
        QVERIFY(findForum(probe(*w).tv(), 101));
        w.reset();
        start(folder);
        QCOMPARE(asked.size(), 2); // the new conversion knows its source
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        installMessageHooks();
    }

    void clicksMoveTheFocus()
    {
        auto w = start(folder());
        probe(*w).EditSearch()->setFocus();
        QTest::mouseClick(probe(*w).DBGrid1()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(probe(*w).DBGrid1()->hasFocus());
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
