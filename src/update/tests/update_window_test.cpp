#include "base/cp950.h"
#include "base/qtext.h"
#include "packages/tests/http_test_server.h"
#include "settings/settings.h"
#include "shell/article_view.h"
#include "shell/main_window.h"
#include "shell_widgets/messages.h"
#include "shell_widgets/progress_window.h"
#include "shell/testing/main_window_probe.h"
#include "update/desktop_open.h"

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

#include "sqlite/testing/first_value.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>

using namespace velm;
namespace fs = std::filesystem;

using velm::test::firstValue;

namespace {

constexpr int kWait = 60000;

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
        probe(*window).setDownloadMirrors({secondary(), primary()});
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
    static QString pageHtml(QWebEngineView *view)
    {
        auto answer = std::make_shared<std::pair<QString, bool>>();
        view->page()->toHtml([answer](const QString &html) { *answer = {html, true}; });
        if (!QTest::qWaitFor([&] { return answer->second; }, 5000))
            qWarning("the page markup did not come");
        return answer->first;
    }
    // "host:port" of an address "http://host:port/".
    static std::string hostOf(const std::string &base) { return base.substr(7, base.find('/', 7) - 7); }
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
        setMessageHooks({[this](const Big5Text &text) { m_shown << "message " + qFromCp950(text); },
                         [this](const Big5Text &text) {
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
        QVERIFY(!probe(*w).WebBrowser1()->url().toString().contains("index.html"));

        // The topic the package brought is listed in its forum.
        QTreeWidgetItem *forum = findForum(probe(*w).tv(), 101);
        QVERIFY(forum);
        probe(*w).tv()->setCurrentItem(forum);
        QVERIFY(probe(*w).ADOTopic().locate("TOPIC_ID", Value::integer(1101)));
        QCOMPARE(qFromCp950(Big5Text(probe(*w).ADOTopic().fieldByName("T_SUBJECT").asString())),
                 QStringLiteral("新年快樂"));

        // A link to another site goes to the desktop; the pane keeps the demo page.
        const QUrl demo = probe(*w).WebBrowserDemo()->url();
        const QUrl out("http://elsewhere.invalid/page.html");
        PaneLoads loads(probe(*w).WebBrowserDemo());
        click(probe(*w).WebBrowserDemo(), "out");
        QTRY_COMPARE_WITH_TIMEOUT(m_desktop.size(), 1, kWait);
        QCOMPARE(m_desktop.first(), out);
        // The pane's load of the link ends once the pane has decided on it: refused, it stops where it was;
        // let through, it ends on the link's address (its page or the engine's error page).
        QTRY_VERIFY_WITH_TIMEOUT(loads.ended(out), kWait);
        QCOMPARE(probe(*w).WebBrowserDemo()->url(), demo);

        // demo2.html loads in the pane and runs no check; coming back to demo.html runs it again.
        click(probe(*w).WebBrowserDemo(), "two");
        QTRY_VERIFY_WITH_TIMEOUT(probe(*w).WebBrowserDemo()->url().toString().endsWith("demo2.html"), kWait);
        // The check would run from the window's handler of this load's end.
        QTRY_VERIFY_WITH_TIMEOUT(loads.loaded(probe(*w).WebBrowserDemo()->url()), kWait);
        QCOMPARE(checksRun(*m_server), 1);
        QCOMPARE(m_server->count("/velmpack/update.htm"), 1);
        click(probe(*w).WebBrowserDemo(), "back");
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
        QTRY_VERIFY_WITH_TIMEOUT(probe(*declined).WebBrowser1()->url().toString().endsWith("velmpack/index.html"),
                                 kWait);
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

    // A forum and a download server whose addresses go beyond ASCII (an international host name, a Chinese
    // folder) are reached as the command line reaches them: the pane, the version check, the update and the
    // article page's links use the same server and folder.
    void addressesBeyondAsciiReachTheSameServers()
    {
        // 論壇 is xn--ypsv87i and 鏡像 xn--o1qz84n; 中文 is E4 B8 AD E6 96 87 in UTF-8, 下載 E4 B8 8B E8 BC 89.
        const std::string forumFolder = "/%E4%B8%AD%E6%96%87/";
        const std::string mirrorFolder = "/%E4%B8%8B%E8%BC%89/";
        const std::string forumHost = hostOf(m_server->base("xn--ypsv87i.localhost"));
        const std::string mirrorHost = hostOf(m_server->base("xn--o1qz84n.localhost"));
        m_server->answer(forumFolder + "velmpack/demo.html",
                         test::page("<html><body><font NewVer=1.6.quorin>news</font></body></html>"));
        m_server->answer(forumFolder + "velmpack/update.htm", test::page(toCp950("2004年06週 第六週補充包\r\n")));
        m_server->answer(mirrorFolder + "2004W06.VLP", test::fileAnswer(VELM_FIXTURES "/2004W06.VLP"));

        const QString settings = QString::fromStdString(settingsFilePath(kAppKey));
        struct Restore {
            QString file;
            QStringList names;
            QVariantList values;
            ~Restore()
            {
                QSettings store(file, QSettings::IniFormat);
                for (qsizetype i = 0; i < names.size(); ++i)
                    store.setValue(names[i], values[i]);
            }
        } restore{settings, {"ForumBaseURL", "DownloadMirror1", "DownloadMirror2"}, {}};
        {
            QSettings store(settings, QSettings::IniFormat);
            for (const QString &name : restore.names)
                restore.values << store.value(name);
            store.setValue("ForumBaseURL", QString::fromStdString(m_server->base("論壇.localhost") + "中文/"));
            store.setValue("DownloadMirror1", QString::fromStdString(m_server->base("鏡像.localhost") + "下載/"));
            store.setValue("DownloadMirror2", QString::fromStdString(m_server->base("鏡像.localhost") + "下載/"));
        }

        QTemporaryDir folder;
        fs::copy_file(VELM_FIXTURES "/archive-small.mdb", (folder.path() + "/velm.mdb").toStdString());
        // The stored servers serve: the window's own choice of them is kept.
        auto w = std::make_unique<TfmMain>(StartupOptions{(folder.path() + '/').toStdString(), {}});
        w->setProgressWindow(&m_progress);
        QVERIFY(show(*w));
        QTRY_VERIFY_WITH_TIMEOUT(m_shown.size() == 1, kWait);
        QCOMPARE(m_shown, QStringList{"question 找到補充包檔案總數1個，現在更新嗎?"});
        QCOMPARE(firstValue(folder.filePath("velm.sqlite").toStdString(),
                            "select count(*) from UPDATELOG where UPD_TITLE = '2004年06週 第六週補充包'"),
                 std::string("1"));

        // The pane (the browser engine) and the version check (the reader's own client) ask the same server.
        int paneLoads = 0;
        int checks = 0;
        std::vector<std::string> others;
        for (const test::HttpRequest &r : m_server->requests()) {
            const std::string asked = r.header("Host") + r.target;
            if (asked == forumHost + forumFolder + "velmpack/demo.html")
                ++(r.header("User-Agent").find("Indy") != std::string::npos ? checks : paneLoads);
            else if (r.target.find(forumFolder) == 0 || r.target.find(mirrorFolder) == 0)
                others.push_back(asked);
        }
        QCOMPARE(paneLoads, 1);
        QCOMPARE(checks, 1);
        QCOMPARE(others, (std::vector<std::string>{forumHost + forumFolder + "velmpack/update.htm",
                                                   mirrorHost + mirrorFolder + "2004W06.VLP"}));

        // The article page links the forum in its ASCII form.
        w->LoadArticle("1101");
        const std::string link = "http://" + forumHost + forumFolder + "link.asp?topic_id=1101";
        QTRY_VERIFY_WITH_TIMEOUT(pageHtml(probe(*w).WebBrowser1()).contains(QString::fromStdString(link)), kWait);
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
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowserDemo()).contains(offline), kWait);
        QVERIFY(probe(*w).WebBrowserDemo()->url().scheme() == QLatin1String("data"));
        QVERIFY2(m_shown.isEmpty(), qPrintable(m_shown.join('\n')));
        QVERIFY(m_desktop.isEmpty());

        auto *home = w->findChild<QToolButton *>("ToolButton7");
        QVERIFY(home);
        QTest::mouseClick(home, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains(offline), kWait);

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
