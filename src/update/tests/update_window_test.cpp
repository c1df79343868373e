#include "article_view.h"
#include "cp950.h"
#include "desktop_open.h"
#include "http_test_server.h"
#include "main_window.h"
#include "messages.h"
#include "progress_window.h"
#include "qtext.h"
#include "settings.h"

#include <QApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>

using namespace velm;
namespace fs = std::filesystem;

namespace {

constexpr int kWait = 60000;

std::string firstValue(const std::string &database, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    std::string value = "<none>";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        value = text ? text : "<null>";
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

QTreeWidgetItem *findForum(QTreeWidget *tree, qlonglong id)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toLongLong() == id)
            return *it;
    return nullptr;
}

// Demo pages fetched by the reader's own client (not the browser engine): the runs of the version check.
int checksRun(const test::HttpTestServer &server)
{
    int n = 0;
    for (const test::HttpRequest &r : server.requests())
        n += r.target == "/velmpack/demo.html" && r.header("User-Agent").find("Indy") != std::string::npos;
    return n;
}

// The loads of one browser pane from now on: how each ended, and the pages that ended well as the window
// saw them (its own loadFinished handler, connected first, has run by then).
class PaneLoads {
public:
    explicit PaneLoads(QWebEngineView *view)
    {
        QObject::connect(view->page(), &QWebEnginePage::loadingChanged, &m_scope,
                         [this](const QWebEngineLoadingInfo &info) {
                             if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus)
                                 m_ended << info.url();
                         });
        QObject::connect(view, &QWebEngineView::loadFinished, &m_scope, [this, view](bool ok) {
            if (ok)
                m_loaded << view->url();
        });
    }
    // The load of this address has ended: refused, stopped, failed or done.
    bool ended(const QUrl &url) const { return m_ended.contains(url); }
    bool loaded(const QUrl &url) const { return m_loaded.contains(url); }

private:
    QList<QUrl> m_ended;
    QList<QUrl> m_loaded;
    QObject m_scope; // the connections end before the lists do
};

} // namespace

class UpdateWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QStringList m_shown;
    QList<QUrl> m_desktop;
    bool m_answer = true;

    std::string secondary() const { return m_server->base() + "velm_download/velm_reader/"; }
    std::string primary() const { return m_server->base() + "download/velm_reader/"; }

    // A window on a fresh copy of the small archive, its servers fixed to the secondary then the primary.
    std::unique_ptr<TfmMain> start(const QTemporaryDir &folder)
    {
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", (folder.path() + "/velm.mdb").toStdString());
        auto window = std::make_unique<TfmMain>(StartupOptions{(folder.path() + '/').toStdString(), {}});
        window->setProgressWindow(&m_progress);
        window->setDownloadMirrors({secondary(), primary()});
        return window;
    }
    static bool show(TfmMain &window)
    {
        QSignalSpy done(&window, &TfmMain::firstShowDone);
        window.show();
        return done.wait(kWait);
    }
    static bool waitForLoad(QWebEngineView *view)
    {
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        return loaded.wait(kWait);
    }
    static QString pageText(QWebEngineView *view)
    {
        // The answer may come after the wait has given up: it then lands in state that is still there.
        auto answer = std::make_shared<std::pair<QString, bool>>();
        view->page()->toPlainText([answer](const QString &text) { *answer = {text, true}; });
        if (!QTest::qWaitFor([&] { return answer->second; }, 5000))
            qWarning("the page text did not come");
        return answer->first;
    }
    static void click(QWebEngineView *view, const QString &id)
    {
        view->page()->runJavaScript(QStringLiteral("document.getElementById('%1').click();").arg(id));
    }

    std::unique_ptr<test::HttpTestServer> m_server;
    TFormProgress m_progress;

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        m_server = std::make_unique<test::HttpTestServer>();
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        store.setValue("ForumBaseURL", QString::fromStdString(m_server->base()));
        store.setValue("DownloadMirror1", QString::fromStdString(secondary()));
        store.setValue("DownloadMirror2", QString::fromStdString(primary()));
        store.sync();
        setMessageHooks({[this](const std::string &text) { m_shown << "message " + qFromCp950(text); },
                         [this](const std::string &text) {
                             m_shown << "question " + qFromCp950(text);
                             return m_answer;
                         },
                         [this](const std::string &text) { m_shown << "error " + QString::fromStdString(text); }});
        setDesktopOpenHook([this](const QUrl &url) { m_desktop << url; });
        m_server->answer("/velmpack/update.htm", test::page(toCp950("2004年05週\r\n2004年06週 第六週補充包\r\n")));
        m_server->answer("/download/velm_reader/2004W06.VLP", test::fileAnswer(VELM_FIXTURES "/2004W06.VLP"));
        m_server->answer("/velmpack/demo2.html",
                         test::page("<html><body><a id=back href=\"demo.html\">back</a></body></html>"));
    }

    void init()
    {
        m_shown.clear();
        m_desktop.clear();
        m_answer = true;
        // Each window starts without the place an earlier one left: a forum opened again would load its
        // first topic into the article view at a moment of its own, over the page a test waits for there.
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        for (const char *key : {"LastArchive", "LastForumID", "LastTopicID"})
            store.remove(QLatin1String(key));
    }

    void startUpCheckFindsNoNewerVersionAndTheUpdateImportsThePackage()
    {
        m_server->answer("/velmpack/demo.html",
                         test::page("<html><body><a id=out href=\"http://elsewhere.invalid/page.html\">out</a>"
                                    "<a id=two href=\"demo2.html\">two</a><font NewVer=1.6.quorin>news</font>"
                                    "</body></html>"));
        QTemporaryDir folder;
        auto w = start(folder);
        QVERIFY(show(*w));
        // The pane loads in the background; the check runs once both it and the first show are done.
        QTRY_VERIFY_WITH_TIMEOUT(m_shown.size() == 1, kWait);
        QCOMPARE(m_shown, QStringList{"question 找到補充包檔案總數1個，現在更新嗎?"});
        QCOMPARE(checksRun(*m_server), 1);
        const std::vector<std::string> packageRequests{"/velm_download/velm_reader/2004W06.VLP",
                                                       "/download/velm_reader/2004W06.VLP"};
        std::vector<std::string> asked;
        for (const std::string &p : m_server->paths())
            if (p.find(".VLP") != std::string::npos)
                asked.push_back(p);
        QCOMPARE(asked, packageRequests);
        const std::string archive = folder.filePath("velm.sqlite").toStdString();
        QCOMPARE(firstValue(archive, "select count(*) from UPDATELOG where UPD_TITLE = '2004年06週 第六週補充包'"),
                 std::string("1"));
        QVERIFY(!m_progress.isVisible());
        QVERIFY(m_desktop.isEmpty());
        QVERIFY(!w->WebBrowser1()->url().toString().contains("index.html"));

        // The topic the package brought is listed in its forum.
        QTreeWidgetItem *forum = findForum(w->tv(), 101);
        QVERIFY(forum);
        w->tv()->setCurrentItem(forum);
        QVERIFY(w->ADOTopic().locate("TOPIC_ID", Value::integer(1101)));
        QCOMPARE(qFromCp950(w->ADOTopic().fieldByName("T_SUBJECT").asString()), QStringLiteral("新年快樂"));

        // A link to another site goes to the desktop; the pane keeps the demo page.
        const QUrl demo = w->WebBrowserDemo()->url();
        const QUrl out("http://elsewhere.invalid/page.html");
        PaneLoads loads(w->WebBrowserDemo());
        click(w->WebBrowserDemo(), "out");
        QTRY_COMPARE_WITH_TIMEOUT(m_desktop.size(), 1, kWait);
        QCOMPARE(m_desktop.first(), out);
        // The pane's load of the link ends once the pane has decided on it: refused, it stops where it was;
        // let through, it ends on the link's address (its page or the engine's error page).
        QTRY_VERIFY_WITH_TIMEOUT(loads.ended(out), kWait);
        QCOMPARE(w->WebBrowserDemo()->url(), demo);

        // demo2.html loads in the pane and runs no check; coming back to demo.html runs it again.
        click(w->WebBrowserDemo(), "two");
        QTRY_VERIFY_WITH_TIMEOUT(w->WebBrowserDemo()->url().toString().endsWith("demo2.html"), kWait);
        // The check would run from the window's handler of this load's end.
        QTRY_VERIFY_WITH_TIMEOUT(loads.loaded(w->WebBrowserDemo()->url()), kWait);
        QCOMPARE(checksRun(*m_server), 1);
        QCOMPARE(m_server->count("/velmpack/update.htm"), 1);
        click(w->WebBrowserDemo(), "back");
        QTRY_COMPARE_WITH_TIMEOUT(checksRun(*m_server), 2, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->count("/velmpack/update.htm"), 2, kWait);
        QCOMPARE(m_shown.size(), 1); // recorded now, and silent when automatic
        QVERIFY(w->isVisible());
    }

    void newerVersionIsOfferedAndItsInstallerStarted()
    {
        // Written without quotes: the engine's own copy of the markup would spell it differently.
        m_server->answer("/velmpack/demo.html", test::page("<HTML><BODY><FONT NewVer=1.7>new</FONT></BODY></HTML>"));
        m_server->answer("/download/velm_reader/VELM_V1_7.EXE", test::page("installer", "application/octet-stream"));
        const int lists = m_server->count("/velmpack/update.htm");

        QTemporaryDir declinedFolder;
        m_answer = false;
        auto declined = start(declinedFolder);
        QVERIFY(show(*declined));
        QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 1, kWait);
        QCOMPARE(m_shown, QStringList{"question 已經有新版Ver1.7的程式，現在更新嗎?"});
        QTRY_VERIFY_WITH_TIMEOUT(declined->WebBrowser1()->url().toString().endsWith("velmpack/index.html"), kWait);
        QCOMPARE(m_server->count("/download/velm_reader/VELM_V1_7.EXE"), 0);
        QCOMPARE(m_server->count("/velmpack/update.htm"), lists); // No: not even the package update
        QVERIFY(declined->isVisible());
        declined.reset();

        m_shown.clear();
        m_answer = true;
        QSettings(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat).remove("WindowMax");
        QTemporaryDir folder;
        auto w = start(folder);
        QVERIFY(show(*w));
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), kWait);
        QCOMPARE(m_shown,
                 (QStringList{"question 已經有新版Ver1.7的程式，現在更新嗎?", "message 下載完成,現在開始安裝!"}));
        const QString installer = folder.filePath(QStringLiteral("VELM_V1_7.EXE"));
        QCOMPARE(m_desktop, QList<QUrl>{QUrl::fromLocalFile(installer)});
        QCOMPARE(readFile(installer.toStdString()), std::string("installer"));
        QVERIFY(!m_progress.isVisible());
        QCOMPARE(m_server->count("/velmpack/update.htm"), lists);
        // The normal shut-down ran: it wrote the layout.
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        QVERIFY(store.contains("WindowMax"));
    }

    // Without the forum's server, the pane and the package home page say so in a page of their own, and
    // the update asked for from the toolbar names the server it could not reach.
    void unreachableServerIsStatedNotShownAsABrokenPage()
    {
        std::string closed;
        {
            const test::HttpTestServer gone;
            closed = gone.base();
        }
        const QString settings = QString::fromStdString(settingsFilePath(kAppKey));
        struct Restore {
            QString file;
            std::string base;
            ~Restore() { QSettings(file, QSettings::IniFormat).setValue("ForumBaseURL", QString::fromStdString(base)); }
        } restore{settings, m_server->base()};
        {
            QSettings store(settings, QSettings::IniFormat);
            store.setValue("ForumBaseURL", QString::fromStdString(closed));
            store.remove("LastTopicID");
            store.remove("LastForumID");
        }
        const QUrl address(QString::fromStdString(closed));
        const QString server = address.host() + ':' + QString::number(address.port());
        const QString offline = QStringLiteral("無法連線到 %1 ，離線閱讀不受影響").arg(server);

        QTemporaryDir folder;
        auto w = start(folder);
        QVERIFY(show(*w));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(w->WebBrowserDemo()).contains(offline), kWait);
        QVERIFY(w->WebBrowserDemo()->url().scheme() == QLatin1String("data"));
        QVERIFY2(m_shown.isEmpty(), qPrintable(m_shown.join('\n')));
        QVERIFY(m_desktop.isEmpty());

        auto *home = w->findChild<QToolButton *>("ToolButton7");
        QVERIFY(home);
        QTest::mouseClick(home, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(w->WebBrowser1()).contains(offline), kWait);

        auto *update = w->findChild<QToolButton *>("ToolButton15");
        QVERIFY(update);
        QTest::mouseClick(update, Qt::LeftButton);
        QCOMPARE(m_shown.size(), 1);
        QVERIFY2(m_shown.first().startsWith(QStringLiteral("error 無法連線到 %1 取得補充包清單（").arg(server)),
                 qPrintable(m_shown.first()));
        QVERIFY(m_shown.first().endsWith(QStringLiteral("，離線閱讀不受影響")));
        QVERIFY(!m_progress.isVisible());
    }

    void cleanupTestCase()
    {
        setDesktopOpenHook({});
        setMessageHooks({});
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerArticleScheme();
    QApplication app(argc, argv);
    // The self-update closes the main window; the test goes on after that.
    QApplication::setQuitOnLastWindowClosed(false);
    UpdateWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "update_window_test.moc"
