// The reader in Chinese and readable: Qt's own texts translated, installed faces for the ones pages name,
// the chosen font everywhere, forum names never cut, indented code and followed links shown cleanly.
#include "prefs/config_dialog.h"
#include "settings/settings.h"
#include "shell/main_window.h"
#include "shell/testing/main_window_probe.h"
#include "shell/tests/test_archive.h"
#include "shell/tests/window_test_support.h"
#include "shell/topic_model.h"
#include "shell_widgets/localization.h"
#include "shell_widgets/messages.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <memory>

using namespace velm;
using velm::test::findForum;
using velm::test::pageText;
using velm::test::writeSettings;

namespace {

const QString kLongForum = QStringLiteral("Windows API, sockets, threads and the message loop: questions and answers");

// The answer of a script run apart from the page; one that comes after the wait gave up lands in state still there.
QString runScript(QWebEngineView *view, const QString &script)
{
    struct Answer {
        QString text;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant &value) {
        answer->text = value.toString();
        answer->done = true;
    });
    if (!QTest::qWaitFor([&] { return answer->done; }, 5000))
        qWarning("the page did not answer");
    return answer->text;
}

} // namespace

class ReadabilityTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_programFolder;
    QStringList m_errors;

    std::unique_ptr<TfmMain> start() { return test::startWindow((m_programFolder.path() + '/').toStdString()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_programFolder.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        setMessageHooks({{}, {}, [this](const std::string &text) { m_errors << QString::fromStdString(text); }});
        writeTestArchive(
            m_programFolder.filePath("velm.sqlite"),
            QStringLiteral("INSERT INTO FORUM_MEMBERS VALUES (1, 'writer');"
                           "INSERT INTO FORUM_MEMBERS VALUES (2, 'a_member_whose_name_is_long');"
                           "INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top', 1, 1);"
                           "INSERT INTO FORUM_FORUM VALUES (7, 1, '%1');"
                           "INSERT INTO FORUM_TOPICS VALUES (1, 7, 1, 'Linked topic',"
                           " 'See [url=http://velm.example/topic.asp?topic_id=2]the other one[/url].',"
                           " '20040101000000', 1, 0, '20040103000000', 'N', 0, '', 0);"
                           "INSERT INTO FORUM_TOPICS VALUES (2, 7, 1, 'Other topic', 'Plain.', '20040102000000',"
                           " 1, 0, '20040102000000', 'N', 0, '', 0);"
                           "INSERT INTO FORUM_TOPICS VALUES (3, 7, 1, 'Dated topic', 'Plain.', '20031028093012',"
                           " 2, 0, '20031028093012', 'N', 0, '', 0);"
                           "INSERT INTO FORUM_TOPICS VALUES (4, 7, 1, 'Undated topic', 'Plain.', '  ', 1, 0, NULL,"
                           " 'N', 0, '', 0);")
                .arg(kLongForum));
    }

    void init()
    {
        m_errors.clear();
        writeSettings({{"WindowMax", "N"},
                       {"WindowLeft", "0"},
                       {"WindowTop", "0"},
                       {"WindowWidth", "1000"},
                       {"WindowHeight", "700"},
                       {"ForumBaseURL", "http://127.0.0.1:9/"}});
    }

    void qtTextsAreChinese()
    {
        QString why;
        QVERIFY2(installQtTranslations(*qApp, &why), qPrintable(why));
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(u'&').left(2), QStringLiteral("取消"));
        QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        for (QMessageBox::StandardButton which : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
            const QString text = box.button(which)->text();
            QVERIFY2(std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x4E00; }),
                     qPrintable(text));
        }
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(u'&').left(2), QStringLiteral("取消"));
    }

    void pageFacesHaveInstalledStandIns()
    {
        QCOMPARE(installedSansFamily(), QStringLiteral("Liberation Sans"));
        substitutePageFaces();
        for (const QString &face : pageFaces()) {
            const QString shown = QFontInfo(QFont(face)).family();
            QVERIFY2(sansStandIns().contains(shown), qPrintable(face + " is shown as " + shown));
        }
        // The article view's sans-serif is the same face.
        auto w = start();
        QCOMPARE(probe(*w).WebBrowser1()->page()->settings()->fontFamily(QWebEngineSettings::SansSerifFont),
                 QStringLiteral("Liberation Sans"));
    }

    void chosenFontReachesGridAndDialogs()
    {
        writeSettings({{"WindowMax", "N"},
                       {"WindowWidth", "1000"},
                       {"WindowHeight", "700"},
                       {"ForumBaseURL", "http://127.0.0.1:9/"},
                       {"DefaultFontName", "DejaVu Serif"},
                       {"DefaultFontSize", "14"}});
        auto w = start();
        QCOMPARE(probe(*w).DBGrid1()->font().family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(probe(*w).DBGrid1()->font().pointSize(), 14);
        QCOMPARE(QDialog(w.get()).font().family(), QStringLiteral("DejaVu Serif"));
        const int tallRows = probe(*w).DBGrid1()->verticalHeader()->defaultSectionSize();
        QCOMPARE(tallRows, QFontMetrics(probe(*w).DBGrid1()->font()).height() + 4);

        // A font chosen in the preferences reaches them too.
        setFontDialogHook([](const QFont &, QWidget *) { return std::optional<QFont>(QFont("Liberation Sans", 8)); });
        TFormConfig config(w.get());
        config.SpeedButton1Click();
        config.applyAccepted();
        setFontDialogHook({});
        QCOMPARE(probe(*w).DBGrid1()->font().family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(probe(*w).DBGrid1()->font().pointSize(), 8);
        QCOMPARE(QDialog(w.get()).font().family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(QMessageBox().font().pointSize(), 8);
    }

    void chosenFontRowsFollow()
    {
        writeSettings({{"WindowMax", "N"},
                       {"WindowWidth", "1000"},
                       {"WindowHeight", "700"},
                       {"ForumBaseURL", "http://127.0.0.1:9/"},
                       {"DefaultFontName", "DejaVu Sans"},
                       {"DefaultFontSize", "20"}});
        auto w = start();
        const int big = probe(*w).DBGrid1()->verticalHeader()->defaultSectionSize();
        QCOMPARE(big, QFontMetrics(QFont("DejaVu Sans", 20)).height() + 4);
        QVERIFY(big > QFontMetrics(QFont("DejaVu Sans", 9)).height() + 4);
    }

    void forumNamesAreNeverCut()
    {
        auto w = start();
        QTreeWidgetItem *forum = findForum(probe(*w).tv(), 7);
        QVERIFY(forum);
        QCOMPARE(forum->text(0), kLongForum);
        const int textWidth = probe(*w).tv()->fontMetrics().horizontalAdvance(kLongForum);

        for (QTreeWidgetItem *up = forum->parent(); up; up = up->parent())
            up->setExpanded(true);
        // A wide pane shows the whole name.
        probe(*w).setPanel4Width(900);
        QTRY_VERIFY(probe(*w).tv()->viewport()->width() > textWidth + 2 * probe(*w).tv()->indentation() + 40);
        QTRY_VERIFY(probe(*w).tv()->visualItemRect(forum).width() >= textWidth);
        QTRY_VERIFY(probe(*w).tv()->visualItemRect(forum).right() < probe(*w).tv()->viewport()->width());
        QCOMPARE(probe(*w).tv()->horizontalScrollBar()->maximum(), 0);

        // A narrow one scrolls sideways to it instead of cutting it.
        probe(*w).setPanel4Width(120);
        QTRY_VERIFY(probe(*w).tv()->viewport()->width() < textWidth);
        QTRY_VERIFY(probe(*w).tv()->horizontalScrollBar()->maximum() > 0);
        QVERIFY(probe(*w).tv()->visualItemRect(forum).width() >= textWidth);
    }

    void followedLinkHasNoFocusRing()
    {
        auto w = start();
        QSignalSpy loaded(probe(*w).WebBrowser1(), &QWebEngineView::loadFinished);
        w->LoadArticle("1");
        QTRY_VERIFY_WITH_TIMEOUT(probe(*w).WebBrowser1()->url().scheme() == "velm-article" && !loaded.isEmpty() &&
                                     loaded.constLast().constFirst().toBool(),
                                 15000);
        QTRY_COMPARE(runScript(probe(*w).WebBrowser1(), "var a = document.querySelector('a[href*=\"topic_id=2\"]');"
                                                        "a.focus(); (document.activeElement === a) + '|' +"
                                                        " getComputedStyle(a).outlineStyle"),
                     QStringLiteral("true|none"));
        // The faces the page names come out as an installed sans-serif.
        QTRY_COMPARE(
            runScript(probe(*w).WebBrowser1(), "getComputedStyle(document.querySelector('font[face]')).fontFamily"),
            QStringLiteral("Verdana, Arial, Helvetica, \"Liberation Sans\", \"DejaVu Sans\", sans-serif"));
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
    }

    void datesAndAuthorsShowWhole()
    {
        substituteMingFace(); // the default font, as the program starts with it
        auto w = start();
        probe(*w).tv()->setCurrentItem(findForum(probe(*w).tv(), 7));
        QTableView *grid = probe(*w).DBGrid1();
        QTRY_COMPARE(grid->model()->rowCount(), 4);
        // A topic without dates shows empty cells, not the separators alone.
        QCOMPARE(grid->model()->index(3, TopicGridModel::Subject).data().toString(), QStringLiteral("Undated topic"));
        QCOMPARE(grid->model()->index(3, TopicGridModel::Date).data().toString(), QString());
        QCOMPARE(grid->model()->index(3, TopicGridModel::LastPost).data().toString(), QString());
        const QAbstractItemView *view = grid; // the cells' own widths, through the public base
        for (int column : {TopicGridModel::Date, TopicGridModel::Author, TopicGridModel::LastPost})
            QVERIFY2(view->sizeHintForColumn(column) <= grid->columnWidth(column),
                     qPrintable(QStringLiteral("column %1: %2 > %3")
                                    .arg(column)
                                    .arg(view->sizeHintForColumn(column))
                                    .arg(grid->columnWidth(column))));
    }
};

QTEST_MAIN(ReadabilityTest)
#include "readability_test.moc"
