// The article view shows posts as written, whatever they hold: nothing in a post takes the view to
// another page, loads frames into it or fetches anything but pictures; the user's clicks still lead on.
#include "shell/article_view.h"
#include "shell/main_window.h"
#include "shell/testing/main_window_probe.h"
#include "shell/tests/test_archive.h"
#include "shell/tests/window_test_support.h"
#include "shell_widgets/messages.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <memory>

using namespace velm;
using velm::test::pageText;
using velm::test::writeSettings;

namespace {

// A web server on this machine that notes every path asked of it: *.png is a picture, /moved sends on to
// /landed, anything else is a small page naming its path.
class LocalServer final : public QObject {
public:
    LocalServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            }
        });
    }

    bool listening() const { return m_server.isListening(); }
    // The address of a path, its scheme in capitals so the post markup leaves it as written.
    QString address(const char *path) const
    {
        return QStringLiteral("HTTP://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path));
    }
    const QStringList &paths() const { return m_paths; }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
        const QString path = line.size() > 1 ? QString::fromLatin1(line.at(1)) : QString();
        m_pending.remove(socket);
        m_paths << path;
        QByteArray head = "HTTP/1.1 200 OK\r\n";
        QByteArray type = "text/html";
        QByteArray body = "<html><body>page " + path.toLatin1() + "</body></html>";
        if (path.endsWith(".png")) {
            QImage picture(8, 8, QImage::Format_RGB32);
            picture.fill(Qt::red);
            QBuffer png(&body);
            body.clear();
            png.open(QIODevice::WriteOnly);
            picture.save(&png, "PNG");
            type = "image/png";
        } else if (path == "/moved") {
            head = "HTTP/1.1 302 Found\r\nLocation: /landed\r\n";
            body.clear();
        }
        socket->write(head + "Content-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QStringList m_paths;
};

bool refused(const QSignalSpy &spy, const QString &path, bool mainFrame)
{
    for (const QList<QVariant> &call : spy)
        if (call.at(0).toUrl().path() == path && call.at(1).toBool() == mainFrame)
            return true;
    return false;
}

} // namespace

class ArticleViewTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_programFolder;
    QStringList m_errors;
    LocalServer m_server;

    std::unique_ptr<TfmMain> start() { return test::startWindow((m_programFolder.path() + '/').toStdString()); }

    // Topic 2: a post that asks for a style sheet, a font, media, a prefetch and a picture.
    QString greedyPost() const
    {
        return QStringLiteral("<link rel=stylesheet href=\"%1\"><link rel=prefetch href=\"%2\">"
                              "<style>@font-face{font-family:Far;src:url(%3)} b{font-family:Far}</style>"
                              "<b>Only pictures come.</b><video src=\"%4\"></video><audio src=\"%5\"></audio>"
                              "<img src=\"%6\" width=8 height=8>")
            .arg(m_server.address("/sheet.css"), m_server.address("/prefetched"), m_server.address("/font.woff"),
                 m_server.address("/video.mp4"), m_server.address("/audio.mp3"), m_server.address("/picture.png"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_programFolder.isValid());
        QVERIFY(m_server.listening());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        setMessageHooks({{}, {}, [this](const std::string &text) { m_errors << QString::fromStdString(text); }});
        // Topic 1: a post that tries every way of leaving its page or loading another one into it.
        const QString post =
            QStringLiteral("<meta http-equiv=\"refresh\" content=\"0; url=%1\">Only the post stays."
                           "<img src=\"%2\" width=8 height=8>"
                           "<iframe src=\"%3\"></iframe>"
                           "<object data=\"%4\" type=\"text/html\"></object>"
                           "<embed src=\"%5\" type=\"text/html\">"
                           "<iframe srcdoc=\"&lt;meta http-equiv=refresh content=&quot;0; url=%6&quot;&gt;\"></iframe>"
                           "<form action=\"%7\"><input type=submit></form>")
                .arg(m_server.address("/elsewhere"), m_server.address("/pic.png"), m_server.address("/frame"),
                     m_server.address("/object"), m_server.address("/embed"), m_server.address("/nested"),
                     m_server.address("/form"));
        writeTestArchive(m_programFolder.filePath("velm.sqlite"),
                         QStringLiteral("INSERT INTO FORUM_MEMBERS VALUES (1, 'writer');"
                                        "INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top', 1, 1);"
                                        "INSERT INTO FORUM_FORUM VALUES (7, 1, 'Posts');"
                                        "INSERT INTO FORUM_TOPICS VALUES (1, 7, 1, 'A restless post', '%1',"
                                        " '20040101000000', 1, 0, '20040101000000', 'N', 0, '', 0);"
                                        "INSERT INTO FORUM_TOPICS VALUES (2, 7, 1, 'A greedy post', '%2',"
                                        " '20040101000000', 1, 0, '20040101000000', 'N', 0, '', 0);")
                             .arg(post, greedyPost()));
    }

    void init()
    {
        m_errors.clear();
        writeSettings({});
    }

    void postsNeitherLeaveThePageNorLoadFrames()
    {
        auto w = start();
        QWebEngineView *view = probe(*w).WebBrowser1();
        auto *page = qobject_cast<ArticleWebPage *>(view->page());
        QVERIFY(page);
        QSignalSpy refusals(page, &ArticleWebPage::navigationRefused);
        bool articleLoaded = false;
        connect(view, &QWebEngineView::loadFinished, this, [&](bool ok) {
            if (ok && view->url().scheme() == QLatin1String("velm-article"))
                articleLoaded = true;
        });

        w->LoadArticle("1");
        // The page with its pictures and whatever frames it was let load, then the refresh it asks for.
        QTRY_VERIFY_WITH_TIMEOUT(articleLoaded, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(refused(refusals, "/elsewhere", true), 15000);

        QCOMPARE(view->url().scheme(), QStringLiteral("velm-article"));
        QVERIFY(pageText(view).contains("Only the post stays."));
        QTRY_VERIFY_WITH_TIMEOUT(m_server.paths().contains("/pic.png"), 15000);
        for (const char *path : {"/elsewhere", "/frame", "/object", "/embed", "/nested", "/form"})
            QVERIFY2(!m_server.paths().contains(path), path);
        QVERIFY(refused(refusals, "/frame", false));
        QVERIFY(m_errors.isEmpty());
    }

    void postsFetchPicturesOnly_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("pictures shown, as by default") << true;
        QTest::newRow("pictures off") << false;
    }

    void postsFetchPicturesOnly()
    {
        QFETCH(bool, shown);
        if (!shown)
            writeSettings({{"ShowPictures", "N"}});
        auto w = start();
        QWebEngineView *view = probe(*w).WebBrowser1();
        QSignalSpy refusals(qobject_cast<ArticleWebPage *>(view->page()), &ArticleWebPage::navigationRefused);
        const qsizetype served = m_server.paths().size();
        w->LoadArticle("2");
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Only pictures come."), 15000);

        QStringList blocked = {"/sheet.css", "/prefetched", "/font.woff", "/video.mp4", "/audio.mp3"};
        if (!shown)
            blocked << "/picture.png";
        for (const QString &path : blocked)
            QTRY_VERIFY2_WITH_TIMEOUT(refused(refusals, path, false), qPrintable(path), 15000);
        if (shown)
            QTRY_VERIFY_WITH_TIMEOUT(m_server.paths().size() > served, 15000);
        QCOMPARE(m_server.paths().mid(served), shown ? QStringList{"/picture.png"} : QStringList());
        QVERIFY(m_errors.isEmpty());
    }

    void clicksAndTheProgramsOwnAddressesStillLeadOn()
    {
        auto w = start();
        QWebEngineView *view = probe(*w).WebBrowser1();

        // An address the program sets (the package home page) may be sent on by its server.
        view->setUrl(QUrl(m_server.address("/moved")));
        QTRY_COMPARE_WITH_TIMEOUT(view->url().path(), QStringLiteral("/landed"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("page /landed"), 15000);

        // A link the user clicks.
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        view->setHtml(QStringLiteral("<html><body style='margin:0'><a style='display:block;height:200px' "
                                     "href='%1'>on</a></body></html>")
                          .arg(m_server.address("/clicked")));
        QVERIFY(loaded.wait(15000));
        QWidget *surface = view->focusProxy() ? view->focusProxy() : view;
        QTRY_VERIFY_WITH_TIMEOUT(surface->isVisible(), 5000);
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(20, 20));
        QTRY_COMPARE_WITH_TIMEOUT(view->url().path(), QStringLiteral("/clicked"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("page /clicked"), 15000);
        QVERIFY(m_errors.isEmpty());
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerArticleScheme();
    QApplication app(argc, argv);
    ArticleViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "article_view_test.moc"
