// What the reader keeps, driven as a user drives it: read marks and the next unread topic, bookmarks, saving and
// printing, recent archives, packages handed over or dropped, the sortable list and the context menus.
#include "base/qtext.h"
#include "shell/article_view.h"
#include "shell/forum_count_delegate.h"
#include "shell/main_window.h"
#include "shell/testing/main_window_probe.h"
#include "shell/tests/test_archive.h"
#include "shell/tests/window_test_support.h"
#include "shell/topic_model.h"
#include "shell_core/package_handoff.h"
#include "shell_widgets/messages.h"
#include "sqlite/testing/first_value.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEngineView>

#include <filesystem>
#include <functional>
#include <future>
#include <sqlite3.h>

using namespace velm;
using velm::test::findForum;
using velm::test::pageText;

namespace {

// Runs the handler on the modal window or popup of the given kind once it is up, from the event loop.
template <typename Widget>
void whenUp(std::function<void(Widget *)> handler, QDeadlineTimer deadline = QDeadlineTimer(30000))
{
    QTimer::singleShot(10, [handler, deadline] {
        Widget *widget = qobject_cast<Widget *>(QApplication::activeModalWidget());
        if (!widget)
            widget = qobject_cast<Widget *>(QApplication::activePopupWidget());
        if (!widget) {
            if (!deadline.hasExpired())
                whenUp<Widget>(handler, deadline);
            return;
        }
        handler(widget);
    });
}

// Chooses the file as a user would type it, then accepts: the name field decides, not a selection the dialog's
// listing of its first folder may still make.
void answerFileDialog(const QString &file)
{
    whenUp<QFileDialog>([file](QFileDialog *dialog) {
        dialog->selectFile(file);
        if (auto *list = dialog->findChild<QListView *>("listView"))
            list->clearSelection();
        if (auto *name = dialog->findChild<QLineEdit *>("fileNameEdit"))
            name->setText(file);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

QAction *actionNamed(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text().startsWith(text))
            return action;
    return nullptr;
}

// Right-clicks a view at a place and gives the context menu it opens.
QMenu *contextMenuAt(QAbstractItemView *view, const QPoint &at, const char *name)
{
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
    // The window system follows a right click with this event; a test's click comes without it.
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &request);
    QMenu *menu = nullptr;
    if (!QTest::qWaitFor([&] { return (menu = view->window()->findChild<QMenu *>(name)) && menu->isVisible(); }, 10000))
        return nullptr;
    return menu;
}

// A double click as the window system delivers it: press, release, press, double click, release.
void doubleClick(QAbstractItemView *view, const QPoint &at)
{
    QWidget *window = view->window();
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, view->viewport()->mapTo(window, at));
}

void clickAction(QMenu *menu, const QString &text)
{
    QAction *action = actionNamed(menu, text);
    QVERIFY2(action, qPrintable(text));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

bool bold(QAbstractItemModel *model, int row)
{
    return model->index(row, TopicGridModel::Subject).data(Qt::FontRole).value<QFont>().bold();
}

QStringList subjects(QAbstractItemModel *model)
{
    QStringList list;
    for (int row = 0; row < model->rowCount(); ++row)
        list << model->index(row, TopicGridModel::Subject).data().toString();
    return list;
}

} // namespace

class KeepingTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QTemporaryDir m_programFolder;
    QStringList m_errors;
    QStringList m_messages;
    QStringList m_questions;
    bool m_answerYes = false;
    int m_run = 0;

    std::unique_ptr<TfmMain> start(const std::string &folder = {})
    {
        auto w = test::startWindow(folder.empty() ? (m_programFolder.path() + '/').toStdString() : folder);
        probe(*w).setReadDelay(50);
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            qWarning("the window did not become active");
        return w;
    }

    // Clicks a forum in the tree as the user would, its category opened first.
    static void clickForum(TfmMain &w, qlonglong id)
    {
        QTreeWidgetItem *forum = findForum(probe(w).tv(), id);
        QVERIFY(forum);
        for (QTreeWidgetItem *up = forum->parent(); up; up = up->parent())
            up->setExpanded(true);
        probe(w).tv()->scrollToItem(forum);
        QTest::mouseClick(probe(w).tv()->viewport(), Qt::LeftButton, {}, probe(w).tv()->visualItemRect(forum).center());
        QTRY_COMPARE(probe(w).CurrentForumId(), id);
    }

    static void clickRow(TfmMain &w, int row)
    {
        QTableView *grid = probe(w).DBGrid1();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(row, TopicGridModel::Subject)).center());
    }

    static QString label(TfmMain &w, qlonglong forumId)
    {
        QTreeWidgetItem *forum = findForum(probe(w).tv(), forumId);
        return forum ? ForumCountDelegate::label(probe(w).tv()->indexFromItem(forum)) : QString();
    }

    static QString archiveCopy(const QTemporaryDir &dir)
    {
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb", dir.filePath("velm.mdb").toStdString());
        return dir.path() + '/';
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid() && m_programFolder.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
        qputenv("HOME", m_home.path().toUtf8());
        setMessageHooks({[this](const Big5Text &text) { m_messages << qFromCp950(text); },
                         [this](const Big5Text &text) {
                             m_questions << qFromCp950(text);
                             return m_answerYes;
                         },
                         [this](const std::string &text) { m_errors << QString::fromStdString(text); }});
        // Forum 7 lists Bravo, Alpha, Charlie (newest activity first); forum 8 two topics, forum 9 none.
        writeTestArchive(
            m_programFolder.filePath("velm.sqlite"),
            QStringLiteral(
                "INSERT INTO FORUM_MEMBERS VALUES (1, 'writer');"
                "INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top', 1, 1);"
                "INSERT INTO FORUM_FORUM VALUES (7, 1, 'Posts'), (8, 1, 'More'), (9, 1, 'Empty');"
                "INSERT INTO FORUM_TOPICS VALUES (1, 7, 1, 'Bravo', 'Body one.', '20040101000000', 1, 0,"
                " '20040103000000', 'N', 0, '', 0), (2, 7, 1, 'Alpha', 'Body two.', '20040102000000', 1, 0,"
                " '20040102000000', 'N', 0, '', 0), (3, 7, 1, 'Charlie', 'Body three.', '20040103000000', 1, 0,"
                " '20040101000000', 'N', 0, '', 0), (4, 8, 1, 'Delta', 'Body four.', '20040104000000', 1, 0,"
                " '20040105000000', 'N', 0, '', 0), (5, 8, 1, 'Echo', 'Body five.', '20040105000000', 1, 0,"
                " '20040104000000', 'N', 0, '', 0);"));
    }

    void init()
    {
        m_errors.clear();
        m_messages.clear();
        m_questions.clear();
        m_answerYes = false;
        test::writeSettings({});
        // Every test keeps its own store.
        qputenv("XDG_DATA_HOME", m_home.filePath(QStringLiteral("data%1").arg(++m_run)).toUtf8());
    }

    void cleanup() { QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n'))); }

    // A topic shown for the read delay is read: its row leaves bold and its forum's count falls. N goes to the
    // next unread topic of the list, then to the next forum that has one; Space does at the page's end.
    void readMarksAndTheNextUnreadTopic()
    {
        auto w = start();
        QAbstractItemModel *model = probe(*w).DBGrid1()->model();
        QCOMPARE(label(*w, 7), QStringLiteral("Posts (3)"));
        QCOMPARE(label(*w, 8), QStringLiteral("More (2)"));
        QCOMPARE(label(*w, 9), QStringLiteral("Empty"));
        QCOMPARE(probe(*w).tv()->topLevelItem(0)->data(0, ForumCountDelegate::UnreadRole).toInt(), 5);

        clickForum(*w, 7);
        QVERIFY(bold(model, 0) && bold(model, 1));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("Body one."), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!bold(model, 0), 15000);
        QVERIFY(bold(model, 1));
        QCOMPARE(label(*w, 7), QStringLiteral("Posts (2)"));

        QTest::keyClick(w.get(), Qt::Key_N);
        QCOMPARE(probe(*w).ADOTopic().recNo(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("Body two."), 15000);
        QTest::keyClick(w.get(), Qt::Key_N); // leaves Alpha read at once
        QVERIFY(!bold(model, 1));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("Body three."), 15000);
        QTest::keyClick(w.get(), Qt::Key_N); // the forum is read through: on to the next one
        QCOMPARE(probe(*w).CurrentForumId(), 8);
        QCOMPARE(label(*w, 7), QStringLiteral("Posts"));
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("Body four."), 15000);

        // Space at the end of a page that needs no scrolling.
        QWebEngineView *view = probe(*w).WebBrowser1();
        QWidget *surface = view->focusProxy() ? view->focusProxy() : view;
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(5, surface->height() - 5)); // below the text
        QTRY_VERIFY(surface->hasFocus());
        QTest::keyClick(surface, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Body five."), 15000);
        QCOMPARE(probe(*w).ADOTopic().recNo(), 1);
        QTRY_COMPARE(label(*w, 8), QStringLiteral("More"));

        // Read marks are the store's: another window on the archive shows them.
        w.reset();
        w = start();
        QCOMPARE(label(*w, 7), QStringLiteral("Posts"));
        QCOMPARE(label(*w, 8), QStringLiteral("More"));
    }

    // Many marks are counted on a thread of their own: the tree shows the counts once they come.
    void manyMarksAreCountedAside()
    {
        auto w = start();
        clickForum(*w, 7);
        QTRY_COMPARE_WITH_TIMEOUT(label(*w, 7), QStringLiteral("Posts (2)"), 15000);
        probe(*w).setMarksCountedAtOnce(0);
        w->BuildForumTree();
        QCOMPARE(label(*w, 7), QStringLiteral("Posts"));
        QTRY_COMPARE_WITH_TIMEOUT(label(*w, 7), QStringLiteral("Posts (2)"), 15000);
        QCOMPARE(label(*w, 8), QStringLiteral("More (2)"));
    }

    // Ctrl+D keeps the shown topic in the bookmarks tab; a double click there opens it again; one whose topic
    // is gone from the archive says so.
    void bookmarksOpenTheirTopics()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(m_programFolder.filePath("velm.sqlite"), dir.filePath("velm.sqlite")));
        auto w = start((dir.path() + '/').toStdString());
        clickForum(*w, 7);
        clickRow(*w, 1);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("Body two."), 15000);
        QTest::keyClick(w.get(), Qt::Key_D, Qt::ControlModifier);
        QTreeWidget *list = probe(*w).BookmarkList();
        QCOMPARE(list->topLevelItemCount(), 1);
        QTreeWidgetItem *bookmark = list->topLevelItem(0)->child(0);
        QVERIFY(bookmark);
        QCOMPARE(bookmark->text(0), QStringLiteral("Alpha"));

        clickRow(*w, 2);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("Body three."), 15000);
        QTabBar *tabs = probe(*w).TreeTabs()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(probe(*w).TreeTabs()->currentWidget(), list);
        doubleClick(list, list->visualItemRect(bookmark).center());
        QTRY_VERIFY_WITH_TIMEOUT(pageText(probe(*w).WebBrowser1()).contains("Body two."), 15000);
        QCOMPARE(probe(*w).ADOTopic().recNo(), 1);

        // Ctrl+D again takes it out.
        QTest::keyClick(w.get(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(list->topLevelItemCount(), 0);
        QTest::keyClick(w.get(), Qt::Key_D, Qt::ControlModifier);

        QCOMPARE(test::firstValue(dir.filePath("velm.sqlite").toStdString(), "select count(*) from FORUM_TOPICS"),
                 std::string("5"));
        // The archive comes back without the topic.
        w.reset();
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(dir.filePath("velm.sqlite").toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "DELETE FROM FORUM_TOPICS WHERE TOPIC_ID=2", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        w = start((dir.path() + '/').toStdString());
        list = probe(*w).BookmarkList();
        QVERIFY(list->topLevelItem(0));
        bookmark = list->topLevelItem(0)->child(0);
        probe(*w).TreeTabs()->setCurrentWidget(list);
        QCOMPARE(bookmark->text(0), QStringLiteral("Alpha（已不存在）"));
        doubleClick(list, list->visualItemRect(bookmark).center());
        QTRY_COMPARE(m_messages, QStringList{QStringLiteral("這篇主題已不在資料庫中: Alpha")});
    }

    // Ctrl+S saves the page as the view shows it, in UTF-8 that declares itself; Ctrl+Shift+S writes a PDF and
    // Ctrl+P prints, here to a file as there is no printer.
    void savePrintAndPdf()
    {
        QTemporaryDir out;
        auto w = start();
        clickForum(*w, 8);
        QWebEngineView *view = probe(*w).WebBrowser1();
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains("Body four."), 15000);

        // The window system gives the window back its focus when a dialog or page takes it; the offscreen one
        // does not, and a window shortcut needs its window active.
        const auto press = [&w](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w.get()));
            QTest::keyClick(w.get(), key, modifiers);
        };
        answerFileDialog(out.filePath("saved"));
        press(Qt::Key_S, Qt::ControlModifier);
        QFile saved(out.filePath("saved.html"));
        QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(probe(*w).statusText()));
        const QByteArray html = saved.readAll();
        QVERIFY2(html.startsWith("<html>\r\n<META http-equiv=Content-Type content=\"text/html; charset=utf-8\">"),
                 html.left(100).constData());
        QWebEngineView opened;
        QSignalSpy loaded(&opened, &QWebEngineView::loadFinished);
        opened.load(QUrl::fromLocalFile(saved.fileName()));
        QVERIFY(loaded.wait(15000));
        QCOMPARE(pageText(&opened), pageText(view));

        answerFileDialog(out.filePath("topic.pdf"));
        press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        const auto isPdf = [](const QString &path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-";
        };
        QTRY_VERIFY2_WITH_TIMEOUT(isPdf(out.filePath("topic.pdf")), qPrintable(probe(*w).statusText()), 90000);

        whenUp<QPrintDialog>([](QPrintDialog *dialog) { dialog->accept(); });
        press(Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(probe(*w).statusText(), QStringLiteral("列印完成"), 90000);
        QVERIFY(isPdf(out.filePath("Delta.pdf")));
    }

    // The open button's drop-down lists the archives opened last, newest first; one that is gone is marked
    // and taken off the list when chosen and confirmed.
    void recentArchivesOpenAgain()
    {
        QTemporaryDir other;
        QVERIFY(QFile::copy(m_programFolder.filePath("velm.sqlite"), other.filePath("b.sqlite")));
        QVERIFY(QFile::copy(m_programFolder.filePath("velm.sqlite"), other.filePath("c.sqlite")));
        auto w = start();
        for (const char *name : {"c.sqlite", "b.sqlite"}) {
            answerFileDialog(other.filePath(name));
            QTest::mouseClick(w->findChild<QToolButton *>("ToolButton2"), Qt::LeftButton, {}, QPoint(4, 4));
            QCOMPARE(QFileInfo(QString::fromStdString(probe(*w).ADOConnection1().databasePath())).fileName(),
                     QString::fromLatin1(name));
        }
        QVERIFY(QFile::remove(other.filePath("c.sqlite")));

        QStringList shown;
        auto *open = w->findChild<QToolButton *>("ToolButton2");
        const auto choose = [&](const QString &start) {
            whenUp<QMenu>([&shown, start](QMenu *menu) {
                shown.clear();
                for (QAction *action : menu->actions())
                    shown << action->text().section(QChar(0x3000), 0, 0);
                menu->hide();
                if (QAction *action = actionNamed(menu, start))
                    action->trigger();
            });
            QTest::mouseClick(open, Qt::LeftButton, {}, QPoint(open->width() - 3, open->height() / 2));
        };
        choose(QStringLiteral("velm.sqlite"));
        QCOMPARE(shown, (QStringList{"b.sqlite", "c.sqlite", "velm.sqlite"}));
        QTRY_COMPARE(QFileInfo(QString::fromStdString(probe(*w).ADOConnection1().databasePath())).fileName(),
                     QStringLiteral("velm.sqlite"));

        m_answerYes = true;
        choose(QStringLiteral("c.sqlite"));
        QTRY_COMPARE(m_questions.size(), 1);
        QVERIFY(m_questions.first().contains(other.filePath("c.sqlite")));
        choose(QStringLiteral("none"));
        QCOMPARE(shown, (QStringList{"velm.sqlite", "b.sqlite"}));
    }

    // A package handed over by another start, or dropped on the window, is imported as the toolbar imports:
    // recorded in UPDATELOG, and asked about when it was imported before.
    void handedAndDroppedPackagesAreImported()
    {
        QTemporaryDir dir;
        const std::string folder = archiveCopy(dir).toStdString();
        for (const char *package : {"2004W06.VLP", "2004W07.VLP"})
            QVERIFY(QFile::copy(QStringLiteral(VELM_FIXTURES "/") + package, dir.filePath(package)));
        auto w = start(folder);
        const std::string archive = dir.filePath("velm.sqlite").toStdString();
        PackageReceiver receiver;
        connect(&receiver, &PackageReceiver::packageHanded, w.get(), &TfmMain::importHandedPackage);
        const QString socket = dir.filePath("reader.socket");
        QVERIFY(receiver.listen(socket));
        PackageReceiver second;
        QVERIFY(!second.listen(socket)); // a reader listens there already

        const auto handOff = [&](const QString &path) {
            // The other start blocks while this loop runs the window that answers it.
            auto taken = std::async(std::launch::async, [=] { return HandOffPackage(socket, path); });
            return QTest::qWaitFor([&] { return taken.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                                   15000) &&
                   taken.get();
        };
        QVERIFY(handOff(dir.filePath("2004W06.VLP")));
        QTRY_COMPARE_WITH_TIMEOUT(m_messages, QStringList{QStringLiteral("補充包匯入成功!")}, 30000);
        QCOMPARE(test::firstValue(archive, "select count(*) from UPDATELOG where UPD_TITLE like '2004年06週%'"),
                 std::string("1"));
        QVERIFY(handOff(dir.filePath("2004W06.VLP")));
        QTRY_COMPARE_WITH_TIMEOUT(m_questions.size(), 1, 30000);
        QVERIFY(m_questions.first().contains(QStringLiteral("2004年06週")));
        QCOMPARE(m_messages.size(), 1);

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(dir.filePath("2004W07.VLP"))});
        QWidget *target = probe(*w).DBGrid1()->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE_WITH_TIMEOUT(m_messages.size(), 2, 30000);
        QCOMPARE(test::firstValue(archive, "select count(*) from UPDATELOG where UPD_TITLE like '2004年07週%'"),
                 std::string("1"));
    }

    // A click on a column header sorts the list by it, a second the other way, a third back to its own order.
    // The context menus copy a topic's address and mark a whole category read.
    void sortingAndContextMenus()
    {
        auto w = start();
        clickForum(*w, 7);
        QAbstractItemModel *model = probe(*w).DBGrid1()->model();
        QHeaderView *header = probe(*w).DBGrid1()->horizontalHeader();
        const QPoint subjectHeader(header->sectionViewportPosition(TopicGridModel::Subject) + 10, header->height() / 2);
        const QStringList orders[] = {
            {"Alpha", "Bravo", "Charlie"}, {"Charlie", "Bravo", "Alpha"}, {"Bravo", "Alpha", "Charlie"}};
        for (const QStringList &order : orders) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, subjectHeader);
            QCOMPARE(subjects(model), order);
        }

        QTableView *grid = probe(*w).DBGrid1();
        QMenu *list =
            contextMenuAt(grid, grid->visualRect(model->index(1, TopicGridModel::Subject)).center(), "ListMenu");
        QVERIFY(list);
        clickAction(list, QStringLiteral("複製連結"));
        QTRY_COMPARE(QGuiApplication::clipboard()->text(),
                     QString::fromStdString(ForumBaseURL()) + QStringLiteral("topic.asp?topic_Id=2"));

        QTreeWidget *tree = probe(*w).tv();
        QTreeWidgetItem *category = findForum(tree, 7)->parent();
        QMenu *menu = contextMenuAt(tree, tree->visualItemRect(category).center(), "TreeMenu");
        QVERIFY(menu);
        clickAction(menu, QStringLiteral("全部標為已讀"));
        QTRY_COMPARE(label(*w, 8), QStringLiteral("More"));
        QCOMPARE(label(*w, 7), QStringLiteral("Posts"));
        QVERIFY(!bold(model, 0) && !bold(model, 1) && !bold(model, 2));
    }

    // A store that cannot be read is set aside, and the window says so once.
    void aDamagedStoreIsSetAside()
    {
        const QString folder = QString::fromUtf8(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/velm-reader");
        QVERIFY(QDir().mkpath(folder));
        QFile damaged(folder + QStringLiteral("/reader-state.db"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("these are not the pages of a database");
        damaged.close();
        auto w = start();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains(QStringLiteral("已改名為")), qPrintable(m_messages.first()));
        QCOMPARE(QDir(folder).entryList({QStringLiteral("reader-state.db.damaged-*")}).size(), 1);
        QCOMPARE(label(*w, 7), QStringLiteral("Posts (3)"));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerArticleScheme();
    QApplication app(argc, argv);
    KeepingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "keeping_test.moc"
