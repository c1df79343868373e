#include "base/cp950.h"
#include "settings/settings.h"
#include "websearch/browser.h"
#include "websearch/tests/test_server.h"
#include "websearch/web_browser.h"
#include "websearch/web_search_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>

using namespace velm;

namespace {

constexpr int kLoadTimeout = 30000;

const QByteArray kTwoForms = "<html><head><title>two forms</title></head><body>"
                             "<form action=\"/wrong\"><input name=\"Search\" value=\"first\"></form>"
                             "<form action=\"/result\" method=\"get\"><input name=\"other\" value=\"o\">"
                             "<input name=\"Search\" value=\"preset\"></form></body></html>";

const QByteArray kBig5Post = "<html><head><meta charset=\"big5\"><title>big5</title></head><body>"
                             "<form action=\"/wrong\"></form>"
                             "<form action=\"/result\" method=\"post\"><input name=\"Search\"></form></body></html>";

const QByteArray kThreeForms = "<html><body><form action=\"/wrong\"></form><form action=\"/wrong\"></form>"
                               "<form action=\"/result\"><input type=\"hidden\" name=\"ftext\" value=\"h\">"
                               "<input name=\"submit\" value=\"shadowing\"></form></body></html>";

QString pageText(TFormWebBrowser *page)
{
    auto text = std::make_shared<QString>(); // outlives a wait that gives up
    page->WebBrowser1()->page()->toPlainText([text](const QString &t) { *text = t; });
    if (!QTest::qWaitFor([&] { return !text->isEmpty(); }, 5000))
        qWarning("the page text did not come");
    return *text;
}

QString pageTitle(TFormWebBrowser *page)
{
    return page->WebBrowser1()->page()->title();
}

} // namespace

class BrowserTest : public QObject {
    Q_OBJECT

private:
    TestServer m_server;
    std::vector<QPointer<TFormBrowser>> m_windows;

    std::string url(const QByteArray &rest) const { return (m_server.base() + rest).toStdString(); }

    // Opens one tab and waits until its first notification has been handled.
    TFormWebBrowser *open(const std::string &urlText, KeywordCodePage codePage = KeywordCodePage::Big5,
                          bool *submitted = nullptr)
    {
        TFormBrowser *window = OpenSearchResults({"site"}, {urlText}, {codePage});
        m_windows.emplace_back(window);
        auto *page = window->findChild<TFormWebBrowser *>();
        QSignalSpy done(page, &TFormWebBrowser::postDone);
        if (!done.wait(kLoadTimeout))
            qWarning("the page never finished loading");
        if (submitted && !done.isEmpty())
            *submitted = done.first().first().toBool();
        return page;
    }

    // Waits until what the page was made to do so far has run its course. The page answers scripts in the
    // order it was given them: a first answer comes once every script before it has run, and a form one of
    // them sent has then been queued to go; a second once the queued form has started loading. When the page
    // then loads nothing, such a form has reached the server and its answer has been shown.
    static bool settled(TFormWebBrowser *page)
    {
        QWebEnginePage *web = page->WebBrowser1()->page();
        for (int round = 0; round < 2; ++round) {
            auto answered = std::make_shared<bool>(false); // outlives a wait that gives up
            web->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                               [answered](const QVariant &) { *answered = true; });
            if (!QTest::qWaitFor([&] { return *answered; }, kLoadTimeout))
                return false;
        }
        return QTest::qWaitFor([web] { return !web->isLoading(); }, kLoadTimeout);
    }

    static bool messageShown()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox *>(w) && w->isVisible())
                return true;
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.isListening());
        m_server.setPage("/plain", kTwoForms);
        m_server.setPage("/post", kTwoForms);
        m_server.setPage("/big5", kBig5Post, "big5");
        m_server.setPage("/three", kThreeForms);
    }

    void cleanup()
    {
        for (const QPointer<TFormBrowser> &w : m_windows)
            if (w)
                w->close();
        QTRY_VERIFY(std::all_of(m_windows.begin(), m_windows.end(), [](const auto &w) { return w.isNull(); }));
        m_windows.clear();
    }

    void plainTemplateOnlyLoads()
    {
        bool submitted = true;
        TFormWebBrowser *page = open(url("/plain?q=abc"), KeywordCodePage::Big5, &submitted);
        QVERIFY(!submitted);
        QVERIFY(!page->PostPending());
        QCOMPARE(page->PostFormNumber(), -1);
        QVERIFY(settled(page));
        QCOMPARE(m_server.requestsFor("/plain").last().target, QByteArray("/plain?q=abc"));
        QVERIFY(m_server.requestsFor("/result").isEmpty());
        QCOMPARE(pageTitle(page), QStringLiteral("two forms"));
    }

    void postTemplateFillsTheNamedElementOfTheSecondForm_data()
    {
        QTest::addColumn<QByteArray>("keyword");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain") << QByteArray("abc") << QByteArray("abc");
        QTest::newRow("empty fills nothing") << QByteArray() << QByteArray("preset");
        // Quotes, backslashes and markup reach the form as typed and run nothing.
        const QByteArray hostile = "a'\"\\</script><script>document.title='x'</script>'); document.title = 'y'; ('";
        QTest::newRow("hostile") << hostile << hostile;
    }

    void postTemplateFillsTheNamedElementOfTheSecondForm()
    {
        QFETCH(QByteArray, keyword);
        QFETCH(QByteArray, expected);
        const qsizetype before = m_server.requestsFor("/result").size();
        bool submitted = false;
        TFormWebBrowser *page =
            open(url("/post?q=#KEY,1,Search,") + keyword.toStdString(), KeywordCodePage::Big5, &submitted);
        QVERIFY(submitted);
        QCOMPARE(page->PostFieldName(), std::string("Search"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestsFor("/result").size(), before + 1, kLoadTimeout);
        const QByteArray query = m_server.requestsFor("/result").last().target.split('?').value(1);
        QCOMPARE(formField(query, "Search"), expected);
        QCOMPARE(formField(query, "other"), QByteArray("o"));
        QTRY_COMPARE_WITH_TIMEOUT(pageTitle(page), QStringLiteral("result"), kLoadTimeout);
        QVERIFY(m_server.requestsFor("/wrong").isEmpty());
    }

    void big5KeywordReachesAddressAndFormAsBig5Bytes()
    {
        const std::string keyword = toCp950("中文");
        const qsizetype before = m_server.requestsFor("/result").size();
        open(url("/big5?q=#KEY,1,Search,") + keyword);
        QCOMPARE(m_server.requestsFor("/big5").last().target, QByteArray("/big5?q=%A4%A4%A4%E5"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestsFor("/result").size(), before + 1, kLoadTimeout);
        const ReceivedRequest post = m_server.requestsFor("/result").last();
        QCOMPARE(post.method, QByteArray("POST"));
        QCOMPARE(formField(post.body, "Search"), QByteArray::fromStdString(keyword));
    }

    void formWithoutNameIsSubmittedUnfilled()
    {
        const qsizetype before = m_server.requestsFor("/result").size();
        bool submitted = false;
        open(url("/three?ftext=#KEY,2,,abc"), KeywordCodePage::Big5, &submitted);
        QVERIFY(submitted);
        QCOMPARE(m_server.requestsFor("/three").last().target, QByteArray("/three?ftext=abc"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestsFor("/result").size(), before + 1, kLoadTimeout);
        QCOMPARE(formField(m_server.requestsFor("/result").last().target.split('?').value(1), "ftext"),
                 QByteArray("h"));
    }

    void tooFewFormsChangesNothingSilently()
    {
        const qsizetype results = m_server.requestsFor("/result").size();
        bool submitted = true;
        TFormWebBrowser *page = open(url("/post?q=#KEY,5,Search,abc"), KeywordCodePage::Big5, &submitted);
        QVERIFY(!submitted);
        QVERIFY(settled(page));
        QCOMPARE(m_server.requestsFor("/result").size(), results);
        QVERIFY(m_server.requestsFor("/wrong").isEmpty());
        QCOMPARE(pageTitle(page), QStringLiteral("two forms"));
        QVERIFY(page->WebBrowser1()->url().path() == QStringLiteral("/post"));
        QVERIFY(!messageShown());
    }

    void onlyTheFirstNotificationActs()
    {
        TFormWebBrowser *page = open(url("/post?q=#KEY,1,Search,abc"));
        QTRY_COMPARE_WITH_TIMEOUT(pageTitle(page), QStringLiteral("result"), kLoadTimeout);
        const qsizetype results = m_server.requestsFor("/result").size();
        QSignalSpy done(page, &TFormWebBrowser::postDone);
        // The paths of the loads that ended well; the result page's own end may still be on its way.
        QStringList loaded;
        QObject scope;
        connect(page->WebBrowser1()->page(), &QWebEnginePage::loadingChanged, &scope,
                [&loaded](const QWebEngineLoadingInfo &info) {
                    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
                        loaded << info.url().path();
                });
        page->WebBrowser1()->setUrl(QUrl(m_server.base() + "/post"));
        // The page window is told of the load's end (loadFinished) before loadingChanged reports it here; a
        // script the window then ran answers before the one settled() sends.
        QTRY_VERIFY_WITH_TIMEOUT(loaded.contains(QStringLiteral("/post")), kLoadTimeout);
        QVERIFY(settled(page));
        QCOMPARE(done.count(), 0);
        QCOMPARE(m_server.requestsFor("/result").size(), results);
    }

    void twentySitesOpenTwentyTabsTheFirstShownAndEscapeCloses()
    {
        std::vector<std::string> captions, urlTexts;
        for (int i = 1; i <= 20; ++i) {
            captions.push_back(toCp950("網站 ") + std::to_string(i));
            urlTexts.push_back(url("/plain?n=") + std::to_string(i));
        }
        TFormBrowser *window = OpenSearchResults(captions, urlTexts);
        m_windows.emplace_back(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("網頁瀏覽器"));
        QVERIFY(window->windowState() & Qt::WindowMaximized);
        QVERIFY(window->isVisible());
        QTabWidget *tabs = window->PageControl1();
        QVERIFY(tabs->isVisible());
        QCOMPARE(tabs->count(), 20);
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(tabs->widget(i)->objectName(), QStringLiteral("tabsheet%1").arg(i + 1));
            QCOMPARE(tabs->tabText(i), QStringLiteral("網站 %1").arg(i + 1));
            QVERIFY(tabs->widget(i)->findChild<TFormWebBrowser *>());
        }
        QCOMPARE(tabs->currentIndex(), 0);
        QTRY_VERIFY(tabs->tabBar()->tabRect(0).left() >= 0 &&
                    tabs->tabBar()->tabRect(0).right() < tabs->tabBar()->width());
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestsFor("/plain").size() >= 20, true, kLoadTimeout);
        // Escape from the page shown closes the window.
        QWidget *page = tabs->widget(0)->findChild<TFormWebBrowser *>()->WebBrowser1();
        page = page->focusProxy() ? page->focusProxy() : page;
        QTRY_VERIFY(page->isVisible());
        QPointer<TFormBrowser> guard(window);
        QTest::keyClick(page, Qt::Key_Escape);
        QTRY_VERIFY(guard.isNull());
    }

    void dialogOkOpensTheTickedSitesInANewWindow()
    {
        WriteSetting(kAppKey, "ForumBaseURL", Big5Text((m_server.base() + "/forum/").toStdString()));
        m_server.setPage("/forum/search.asp", kTwoForms);
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<TFormWebSearch *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->Edit1()->setText(QStringLiteral("中文"));
            dialog->findChild<QCheckBox *>("CheckBox1")->setChecked(true);
            QTest::mouseClick(dialog->BitBtn1(), Qt::LeftButton);
        });
        ShowWebSearchDialog(nullptr);
        WriteSetting(kAppKey, "ForumBaseURL", Big5Text(""));
        TFormBrowser *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *b = qobject_cast<TFormBrowser *>(w); b && b->isVisible())
                window = b;
        QVERIFY(window);
        m_windows.emplace_back(window);
        QCOMPARE(window->PageControl1()->count(), 1);
        QCOMPARE(window->PageControl1()->tabText(0), QStringLiteral("Velm討論區"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestsFor("/forum/search.asp").size(), 1, kLoadTimeout);
        QCOMPARE(m_server.requestsFor("/forum/search.asp").first().target,
                 QByteArray("/forum/search.asp?MethodStr=DOIT&SearchStr=%A4%A4%A4%E5"));
    }

    void aSiteOutOfReachShowsTheLocalPage()
    {
        TFormWebBrowser *page = open("http://127.0.0.1:9/search?q=abc");
        QTRY_VERIFY_WITH_TIMEOUT(pageText(page).contains(QStringLiteral("無法連線到 127.0.0.1:9")), kLoadTimeout);
    }

    void twoSearchesGiveTwoWindowsAndClosingOneLeavesTheOther()
    {
        QPointer<TFormBrowser> first = OpenSearchResults({"a"}, {url("/plain?w=1")});
        QPointer<TFormBrowser> second = OpenSearchResults({"b"}, {url("/plain?w=2")});
        m_windows.emplace_back(first);
        m_windows.emplace_back(second);
        QVERIFY(first != second);
        QVERIFY(first->isVisible() && second->isVisible());
        first->close();
        QTRY_VERIFY(first.isNull());
        QVERIFY(second->isVisible());
        QCOMPARE(second->PageControl1()->count(), 1);
        auto *page = second->findChild<TFormWebBrowser *>();
        QTRY_COMPARE_WITH_TIMEOUT(pageTitle(page), QStringLiteral("two forms"), kLoadTimeout);
    }
};

int runBrowserTests(int argc, char **argv)
{
    BrowserTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "browser_test.moc"
