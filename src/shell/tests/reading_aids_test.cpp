// Reading in the article view: back and forward through the topics shown, finding text, zooming, and the
// keywords of a search marked in the pages of the topics it found.
#include "base/cp950.h"
#include "settings/settings.h"
#include "shell/article_view.h"
#include "shell/find_bar.h"
#include "shell/main_window.h"
#include "shell/testing/main_window_probe.h"
#include "shell/tests/test_archive.h"
#include "shell/tests/window_test_support.h"
#include "shell_widgets/messages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QWheelEvent>

#include <memory>

using namespace velm;
using velm::test::findForum;
using velm::test::pageText;
using velm::test::writeSettings;

namespace {

// The answer of an asynchronous page query; one that comes after the wait gave up lands in state still there.
template <typename Ask> QString ask(Ask query)
{
    struct Answer {
        QString text;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    query([answer](const QString &t) {
        answer->text = t;
        answer->done = true;
    });
    if (!QTest::qWaitFor([&] { return answer->done; }, 5000))
        qWarning("the page did not answer");
    return answer->text;
}

QString pageHtml(QWebEngineView *view)
{
    return ask([view](auto done) { view->page()->toHtml(done); });
}

QWidget *surface(QWebEngineView *view)
{
    return view->focusProxy() ? view->focusProxy() : view;
}

void mouseButton(QWidget *target, Qt::MouseButton button)
{
    const QPointF at(5, 5);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, target->mapToGlobal(at), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
}

void ctrlWheel(QWidget *target, int delta)
{
    const QPointF at(10, 10);
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

} // namespace

class ReadingAidsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_programFolder;
    QStringList m_errors;
    QStringList m_messages;

    std::unique_ptr<TfmMain> start()
    {
        auto window = test::startWindow((m_programFolder.path() + '/').toStdString());
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("the window did not become active");
        return window;
    }

    // Shows a topic as a click on the list would, and waits for its page.
    static void open(TfmMain &w, const char *topicId, const QString &text)
    {
        w.LoadArticle(topicId);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(w).WebBrowser1()).contains(text), 15000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_programFolder.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        test::collectMessages(m_messages, m_errors);
        // Topic 1 is far longer than the view; topics 1 and 3 hold "socket".
        QString longBody;
        for (int line = 1; line <= 300; ++line)
            longBody +=
                QStringLiteral("Line %1 of the long topic%2.\n").arg(line).arg(line % 100 == 50 ? " socket" : "");
        writeTestArchive(
            m_programFolder.filePath("velm.sqlite"),
            QStringLiteral("INSERT INTO FORUM_MEMBERS VALUES (1, 'writer');"
                           "INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top', 1, 1);"
                           "INSERT INTO FORUM_FORUM VALUES (7, 1, 'Posts');"
                           "INSERT INTO FORUM_TOPICS VALUES (1, 7, 1, 'Long topic', '%1', '20040101000000', 1, 0,"
                           " '20040103000000', 'N', 0, '', 0);"
                           "INSERT INTO FORUM_TOPICS VALUES (2, 7, 1, 'Second topic',"
                           " 'Short body. [url=http://velm.example/elsewhere.html]Elsewhere[/url]', '20040102000000',"
                           " 1, 0, '20040102000000', 'N', 0, '', 0);"
                           "INSERT INTO FORUM_TOPICS VALUES (3, 7, 1, 'Other news', 'A SOCKET and a socket.',"
                           " '20040103000000', 1, 0, '20040101000000', 'N', 0, '', 0);"
                           "INSERT INTO FORUM_CATEGORY VALUES (2, 1, 'Nested', 1, 1);"
                           "INSERT INTO FORUM_FORUM VALUES (8, 2, 'Elsewhere');"
                           "INSERT INTO FORUM_TOPICS VALUES (4, 8, 2, 'Lone topic', 'Alone here.', '20040104000000',"
                           " 1, 0, '20040104000000', 'N', 0, '', 0);")
                .arg(longBody));
    }

    void init()
    {
        m_errors.clear();
        m_messages.clear();
        writeSettings({});
    }

    void cleanup() { QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n'))); }

    void backAndForwardGoThroughTheTopicsShown()
    {
        auto w = start();
        QWebEngineView *view = probe(*w).WebBrowser1();
        QWebEnginePage *page = view->page();
        open(*w, "1", "Line 300 of the long topic");
        QTRY_VERIFY_WITH_TIMEOUT(surface(view)->isVisible(), 5000);

        // Scrolled down before leaving it.
        QTest::mouseClick(surface(view), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::keyClick(surface(view), Qt::Key_End);
        QTRY_VERIFY_WITH_TIMEOUT(page->scrollPosition().y() > 200, 15000);
        const qreal scrolled = page->scrollPosition().y();

        open(*w, "2", "Short body.");
        // A topic link adds a visit too.
        view->setUrl(QUrl("http://velm.example/topic.asp?topic_id=3"));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("A SOCKET and a socket."), 15000);
        QCOMPARE(probe(*w).history().size(), size_t(3));

        // Alt+Left twice: topic 1 again, where it stood.
        QTest::keyClick(surface(view), Qt::Key_Left, Qt::AltModifier);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Short body."), 15000);
        QTest::keyClick(surface(view), Qt::Key_Left, Qt::AltModifier);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Line 300 of the long topic"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(page->scrollPosition().y() - scrolled) < 2, 15000);
        QCOMPARE(view->url().scheme(), QStringLiteral("velm-article"));

        // At the first topic there is nothing further back: nothing is loaded.
        QSignalSpy started(view, &QWebEngineView::loadStarted);
        QTest::keyClick(w.get(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(probe(*w).history().position(), size_t(0));
        QVERIFY(!w->goBack());
        QCOMPARE(started.count(), 0);

        // Alt+Right, then the mouse's forward button over the view and back button over the topic list.
        QTest::keyClick(w.get(), Qt::Key_Right, Qt::AltModifier);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Short body."), 15000);
        mouseButton(surface(view), Qt::ForwardButton);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("A SOCKET and a socket."), 15000);
        mouseButton(probe(*w).DBGrid1()->viewport(), Qt::BackButton);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Short body."), 15000);
        QCOMPARE(probe(*w).history().position(), size_t(1));

        // The view's context menu: both ways open here.
        QTest::mouseClick(surface(view), Qt::RightButton, {}, QPoint(20, 20));
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QMenu *>(QApplication::activePopupWidget()), 15000);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QAction *back = nullptr;
        QAction *forward = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("上一頁"))
                back = action;
            if (action->text() == QStringLiteral("下一頁"))
                forward = action;
            // The engine's own history moves are not offered: they would leave the reader's history.
            QVERIFY(action != view->pageAction(QWebEnginePage::Back) &&
                    action != view->pageAction(QWebEnginePage::Forward));
        }
        QVERIFY(back && forward);
        QVERIFY(back->isEnabled() && forward->isEnabled());
        back->trigger();
        menu->close();
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Line 300 of the long topic"), 15000);
        QCOMPARE(probe(*w).history().position(), size_t(0));

        // A topic opened from here drops the topics ahead.
        open(*w, "3", "A SOCKET and a socket.");
        QCOMPARE(probe(*w).history().size(), size_t(2));
        QVERIFY(!w->goForward());
    }

    void articleMenuOffersOnlyWhatWorks()
    {
        auto w = start();
        QWebEngineView *view = probe(*w).WebBrowser1();
        open(*w, "2", "Short body.");
        QTRY_VERIFY_WITH_TIMEOUT(surface(view)->isVisible(), 5000);
        const auto menuAt = [&](QPoint at) {
            QTest::mouseClick(surface(view), Qt::RightButton, {}, at);
            QMenu *menu = nullptr;
            if (!QTest::qWaitFor([&] { return (menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())); },
                                 15000))
                qWarning("no menu");
            return menu;
        };
        const auto item = [](QMenu *menu, const QString &text) {
            for (QAction *action : menu->actions())
                if (action->text() == text)
                    return action;
            return static_cast<QAction *>(nullptr);
        };
        const QStringList where =
            ask([view](auto done) {
                view->page()->runJavaScript(
                    "var r = document.querySelector('a[href*=elsewhere]').getBoundingClientRect();"
                    "Math.round(r.left + 3) + ',' + Math.round(r.top + r.height / 2)",
                    QWebEngineScript::ApplicationWorld, [done](const QVariant &v) { done(v.toString()); });
            }).split(',');
        QCOMPARE(where.size(), 2);

        // On a link: the items that work, in Chinese, and nothing of the engine's own.
        QMenu *menu = menuAt(QPoint(where[0].toInt(), where[1].toInt()));
        QVERIFY(menu);
        QStringList texts;
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                texts << action->text();
        QCOMPARE(texts, (QStringList{"複製", "複製連結網址", "上一頁", "下一頁", "全選"}));
        item(menu, "複製連結網址")->trigger();
        menu->close();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://velm.example/elsewhere.html"));

        // Elsewhere: no link to copy; all of the page selected, then copied.
        menu = menuAt(QPoint(5, 5));
        QVERIFY(menu && !item(menu, "複製連結網址")->isEnabled() && !item(menu, "複製")->isEnabled());
        item(menu, "全選")->trigger();
        menu->close();
        menu = menuAt(QPoint(5, 5));
        QVERIFY(menu && item(menu, "複製")->isEnabled());
        item(menu, "複製")->trigger();
        menu->close();
        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->text().contains("Short body."), 15000);
    }

    void treeAndListFollowThePageShown()
    {
        writeSettings({{"ForumBaseURL", "http://127.0.0.1:9/"}}); // the home page is out of reach
        auto w = start();
        QWebEngineView *view = probe(*w).WebBrowser1();
        QTableView *grid = probe(*w).DBGrid1();
        const auto shows = [&](qlonglong forum, const QString &subject) {
            const QTreeWidgetItem *node = probe(*w).tv()->currentItem();
            const QModelIndex row = grid->currentIndex();
            return node && node->data(0, Qt::UserRole).toLongLong() == forum &&
                   grid->selectionModel()->isRowSelected(row.row()) &&
                   row.siblingAtColumn(0).data().toString() == subject && !probe(*w).Timer1()->isActive();
        };
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 8));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Alone here."), 15000);

        // A topic link to another forum, then back and forward.
        view->setUrl(QUrl("http://velm.example/topic.asp?topic_id=2"));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Short body."), 15000);
        QVERIFY(shows(7, "Second topic"));
        QVERIFY(probe(*w).tv()->currentItem()->parent()->isExpanded());
        QTest::keyClick(surface(view), Qt::Key_Left, Qt::AltModifier);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Alone here."), 15000);
        QVERIFY(shows(8, "Lone topic"));
        QTest::keyClick(surface(view), Qt::Key_Right, Qt::AltModifier);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Short body."), 15000);
        QVERIFY(shows(7, "Second topic"));

        // From the home page, back is the topic the user left, then the one before it.
        QTest::mouseClick(w->findChild<QToolButton *>("ToolButton7"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!pageText(view).contains("Short body."), 15000);
        QTest::keyClick(surface(view), Qt::Key_Left, Qt::AltModifier);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Short body."), 15000);
        QCOMPARE(probe(*w).history().position(), size_t(1));
        QTest::keyClick(surface(view), Qt::Key_Left, Qt::AltModifier);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Alone here."), 15000);
    }

    void findBarCountsTheMatches()
    {
        auto w = start();
        QWebEngineView *view = probe(*w).WebBrowser1();
        open(*w, "1", "Line 300 of the long topic");
        FindBar *bar = probe(*w).findBar();
        QVERIFY(!bar->isVisible());

        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QTRY_VERIFY(bar->edit()->hasFocus());
        QSignalSpy found(view->page(), &QWebEnginePage::findTextFinished);
        QTest::keyClicks(bar->edit(), "socket");
        QTRY_COMPARE_WITH_TIMEOUT(bar->countLabel()->text(), QStringLiteral("第 1 項，共 3 項"), 15000);
        QTest::keyClick(bar->edit(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(bar->countLabel()->text(), QStringLiteral("第 2 項，共 3 項"), 15000);
        QTest::mouseClick(bar->findChild<QToolButton *>("FindPrevious"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(bar->countLabel()->text(), QStringLiteral("第 1 項，共 3 項"), 15000);
        QTest::mouseClick(bar->findChild<QToolButton *>("FindPrevious"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(bar->countLabel()->text(), QStringLiteral("第 3 項，共 3 項"), 15000);

        // A text the page lacks.
        found.clear();
        QTest::keyClicks(bar->edit(), "zzz");
        QTRY_COMPARE_WITH_TIMEOUT(bar->countLabel()->text(), QStringLiteral("找不到"), 15000);

        QTest::keyClick(bar->edit(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
    }

    void zoomKeysAndWheelAreRemembered()
    {
        {
            auto w = start();
            QWebEngineView *view = probe(*w).WebBrowser1();
            open(*w, "2", "Short body.");
            QCOMPARE(probe(*w).articleZoom(), 1.0);
            QTest::keyClick(w.get(), Qt::Key_Plus, Qt::ControlModifier);
            QCOMPARE(probe(*w).articleZoom(), 1.1);
            QTRY_COMPARE_WITH_TIMEOUT(view->zoomFactor(), 1.1, 5000);
            QTest::keyClick(w.get(), Qt::Key_0, Qt::ControlModifier);
            QCOMPARE(probe(*w).articleZoom(), 1.0);
            QTest::keyClick(w.get(), Qt::Key_Minus, Qt::ControlModifier);
            QTest::keyClick(w.get(), Qt::Key_Minus, Qt::ControlModifier);
            QCOMPARE(probe(*w).articleZoom(), 0.8);
            ctrlWheel(surface(view), 120);
            ctrlWheel(surface(view), 120);
            ctrlWheel(surface(view), 120);
            QCOMPARE(probe(*w).articleZoom(), 1.1);
            QTRY_COMPARE_WITH_TIMEOUT(view->zoomFactor(), 1.1, 5000);
            // Another topic keeps the zoom.
            open(*w, "3", "A SOCKET and a socket.");
            QTRY_COMPARE_WITH_TIMEOUT(view->zoomFactor(), 1.1, 5000);
        }
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        QCOMPARE(store.value("ArticleZoom").toString(), QStringLiteral("1.10"));
        {
            auto again = start();
            QCOMPARE(probe(*again).articleZoom(), 1.1);
            open(*again, "2", "Short body.");
            QTRY_COMPARE_WITH_TIMEOUT(probe(*again).WebBrowser1()->zoomFactor(), 1.1, 5000);
        }
    }

    void storedZoomOutsideTheRule_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<double>("zoom");
        QTest::newRow("text") << QStringLiteral("big") << 1.0;
        QTest::newRow("not finite") << QStringLiteral("inf") << 1.0;
        QTest::newRow("negative") << QStringLiteral("-2") << 1.0;
        QTest::newRow("too large") << QStringLiteral("40") << 5.0;
        QTest::newRow("too small") << QStringLiteral("0.01") << 0.25;
    }

    void storedZoomOutsideTheRule()
    {
        QFETCH(QString, stored);
        QFETCH(double, zoom);
        writeSettings({{"ArticleZoom", stored}});
        auto w = start();
        QCOMPARE(probe(*w).articleZoom(), zoom);
    }

    void quickSearchMarksTheKeywordsOfTheTopicsFound()
    {
        auto w = start();
        QWebEngineView *view = probe(*w).WebBrowser1();
        // Enter in the search box searches.
        probe(*w).EditSearch()->setFocus();
        QTest::keyClicks(probe(*w).EditSearch(), "socket");
        QTest::keyClick(probe(*w).EditSearch(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(probe(*w).statusText(), QStringLiteral("找到 2 篇主題"), 15000);
        QCOMPARE(probe(*w).DBGrid1()->model()->rowCount(), 2);
        QCOMPARE(probe(*w).searchKeywords(), std::vector<std::string>{"socket"});

        // The first topic found opens with its keyword marked.
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Line 300 of the long topic"), 15000);
        QVERIFY(pageHtml(view).contains("Line 50 of the long topic <mark>socket</mark>."));

        // F3 goes from one hit to the next.
        FindBar *bar = probe(*w).findBar();
        QTest::mouseClick(surface(view), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::keyClick(surface(view), Qt::Key_F3);
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->text(), QStringLiteral("socket"));
        QTRY_VERIFY_WITH_TIMEOUT(bar->countLabel()->text().startsWith(QStringLiteral("第 1 項，共 ")), 15000);
        const QString total = bar->countLabel()->text().section(QStringLiteral("，"), 1);
        QTest::keyClick(surface(view), Qt::Key_F3);
        QTRY_COMPARE_WITH_TIMEOUT(bar->countLabel()->text(), QStringLiteral("第 2 項，") + total, 15000);
        QTest::keyClick(surface(view), Qt::Key_Escape); // from the page too
        QVERIFY(!bar->isVisible());

        // The next topic found: marked whatever the letter case.
        w->ToolButton19Click();
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("A SOCKET and a socket."), 15000);
        const QString html = pageHtml(view);
        QVERIFY2(html.contains("A <mark>SOCKET</mark> and a <mark>socket</mark>."), qPrintable(html));

        // The button searches as before; nothing found says so.
        probe(*w).EditSearch()->setText("no such words");
        QTest::mouseClick(w->findChild<QToolButton *>("ToolButton9"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages, QStringList{QStringLiteral("查無資料")}, 15000);
        QCOMPARE(probe(*w).DBGrid1()->model()->rowCount(), 0);

        // A forum's list is no search: its topics open unmarked.
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 7));
        QVERIFY(probe(*w).searchKeywords().empty());
        open(*w, "3", "A SOCKET and a socket.");
        QTRY_VERIFY_WITH_TIMEOUT(!pageHtml(view).contains("<mark>"), 15000);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerArticleScheme();
    QApplication app(argc, argv);
    ReadingAidsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "reading_aids_test.moc"
