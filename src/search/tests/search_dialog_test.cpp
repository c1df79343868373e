#include "search/search_commands.h"
#include "search/search_dialog.h"
#include "search/tests/fake_host.h"

#include "base/cp950.h"
#include "shell_widgets/localization.h"
#include "shell_widgets/messages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace velm;

using test::FakeHost;

class SearchDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    Connection m_archive;
    std::unique_ptr<FakeHost> m_host;
    QStringList m_messages;
    QStringList m_errors;

    // Opens the dialog modally and runs the step inside it; a dialog the step leaves open is cancelled.
    void whileOpen(const std::function<void(TfmSearch &)> &step)
    {
        QTimer::singleShot(0, [&] {
            TfmSearch *dialog = TfmSearch::openDialog();
            QVERIFY(dialog);
            QVERIFY(dialog->isVisible());
            QPointer<TfmSearch> guard(dialog);
            step(*dialog);
            if (guard && guard->isVisible())
                guard->reject();
        });
        AdvancedSearchClick(nullptr, *m_host);
        QVERIFY(TfmSearch::openDialog() == nullptr);
    }

private slots:
    void initTestCase()
    {
        test::openFixtureArchive(m_dir, m_archive);
        setMessageHooks({[this](const Big5Text &text) { m_messages << QString::fromStdString(text.toUtf8()); },
                         {},
                         [this](const std::string &text) { m_errors << QString::fromStdString(text); }});
    }

    void cleanupTestCase() { SetDefaultConnection(nullptr); }

    void init()
    {
        m_host = std::make_unique<FakeHost>(m_archive);
        m_messages.clear();
        m_errors.clear();
    }

    void opensWithItsDefaults()
    {
        whileOpen([](TfmSearch &d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("搜尋文章"));
            QCOMPARE(d.width(), 597);
            QCOMPARE(d.height(), 250);
            QCOMPARE(d.Edit1()->text(), QString());
            QCOMPARE(d.Edit1()->toolTip(), QStringLiteral("空白不輸入代表查詢全部資料"));
            QCOMPARE(d.RadioGroup1()->checkedId(), 1);
            QCOMPARE(d.RadioGroup1()->button(2)->text(), QStringLiteral("用OR查詢 (查詢關鍵字用空白間隔)"));
            QCOMPARE(d.cbDate()->count(), 9);
            QCOMPARE(d.cbDate()->currentText(), QStringLiteral("所有日期"));
            QCOMPARE(d.cbDate()->itemText(8), QStringLiteral("最近一年"));
            QCOMPARE(d.cbField()->currentText(), QStringLiteral("全部欄位"));
            QCOMPARE(d.cbField()->itemText(1), QStringLiteral("只找主題"));
            QCOMPARE(d.edMember()->text(), QString());
            QCOMPARE(d.cbForum()->count(), 11);
            QCOMPARE(d.cbForum()->currentText(), QStringLiteral("全部的討論區"));
            QCOMPARE(d.cbForum()->itemText(1), QStringLiteral("Socket 網路程式"));
            QCOMPARE(d.cbForum()->itemData(10).toLongLong(), 110);
            const std::pair<const char *, int> boxes[] = {
                {"Delphi討論文章", 1}, {"BCB討論文章", 2},  {"Linux/Kylix討論文章", 3}, {"VCL元件", 4},
                {"其他文章/資料", 9},  {"只找黃金文章", 9}, {"只找有檔案下載者", 4},
            };
            for (int i = 1; i <= 7; ++i) {
                QCOMPARE(d.CheckBox(i)->text(), QString::fromUtf8(boxes[i - 1].first));
                QCOMPARE(d.CheckBox(i)->property("tag").toInt(), boxes[i - 1].second);
                QCOMPARE(d.CheckBox(i)->isChecked(), i <= 3 || i == 5);
            }
            QCOMPARE(d.BitBtn1()->text(), QStringLiteral(" 查詢"));
            QCOMPARE(d.BitBtn2()->text(), QStringLiteral("取消"));
            const SearchChoices c = d.choices();
            QCOMPARE(c.mode, MatchMode::And);
            QCOMPARE(c.field, SearchField::All);
            QCOMPARE(c.datePosition, 0);
            QVERIFY(!c.forum);
            QVERIFY(c.boxes == SearchChoices().boxes);
        });
    }

    void dropDownRowsShowTheirEntriesWhole()
    {
        // The program's own font, whose CJK face fills the height it reports.
        const QFont before = QApplication::font();
        substituteMingFace();
        QApplication::setFont(QFont(QStringLiteral("細明體"), 9));
        whileOpen([](TfmSearch &d) {
            for (QComboBox *combo : {d.cbDate(), d.cbForum()}) {
                QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(combo->width() - 6, combo->height() / 2));
                QAbstractItemView *list = combo->view();
                QTRY_VERIFY(list->isVisible());
                const int shown = std::min(combo->count(), combo->maxVisibleItems());
                const int rowRoom = QFontMetrics(list->font()).height() + 4;
                for (int row = 0; row < shown; ++row) {
                    const QRect cell = list->visualRect(combo->model()->index(row, 0));
                    QVERIFY2(cell.height() >= rowRoom && cell.bottom() < list->viewport()->height(),
                             qPrintable(combo->itemText(row)));
                }
                QTest::keyClick(list, Qt::Key_Escape);
                QTRY_VERIFY(!list->isVisible());
            }
        });
        QApplication::setFont(before);
    }

    void dropDownsCountBySelectedItemOnly()
    {
        whileOpen([](TfmSearch &d) {
            d.cbForum()->setCurrentIndex(2);
            d.cbDate()->setCurrentIndex(5);
            QCOMPARE(d.choices().forum.value_or(0), 105);
            QCOMPARE(d.choices().datePosition, 5);
            // Typed text naming no item: no time condition, subject only, all forums.
            d.cbDate()->setEditText(QStringLiteral("上個月"));
            d.cbField()->setEditText(QStringLiteral("內文"));
            d.cbForum()->setEditText(QStringLiteral("Delphi"));
            QCOMPARE(d.choices().datePosition, -1);
            QCOMPARE(d.choices().field, SearchField::SubjectOnly);
            QVERIFY(!d.choices().forum);
            // Typed text naming an item selects that item.
            d.cbForum()->setEditText(QStringLiteral("站務公告"));
            QCOMPARE(d.choices().forum.value_or(0), 109);
        });
    }

    void secondOpenBringsTheSameDialogForward()
    {
        whileOpen([this](TfmSearch &d) {
            d.Edit1()->setText(QStringLiteral("kept"));
            d.showMinimized();
            AdvancedSearchClick(nullptr, *m_host);
            QCOMPARE(TfmSearch::openDialog(), &d);
            QVERIFY(!d.isMinimized());
            QCOMPARE(d.Edit1()->text(), QStringLiteral("kept"));
        });
        QCOMPARE(m_host->changes, 0);
    }

    void emptyResultKeepsTheDialogOpen()
    {
        QPointer<TfmSearch> closed;
        whileOpen([&](TfmSearch &d) {
            d.Edit1()->setText(QStringLiteral("no such words"));
            d.BitBtn1()->click();
            QVERIFY(d.isVisible());
            QCOMPARE(m_messages, QStringList{QStringLiteral("找不到相關資料")});
            QCOMPARE(m_host->status, B5("找不到相關資料"));
            QVERIFY(!m_host->topic.isOpen());
            // A second press runs again with the same choices.
            d.BitBtn1()->click();
            QVERIFY(d.isVisible());
            QCOMPARE(m_messages.size(), 2);
            QCOMPARE(m_host->changes, 2);

            d.Edit1()->setText(QStringLiteral("socket thread"));
            closed = &d;
            d.BitBtn1()->click();
        });
        QVERIFY(closed.isNull());
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_errors.isEmpty());
        QCOMPARE(m_host->ids(), std::vector<std::int64_t>{1014});
    }

    void textComparesWithoutRegardToLetterCase()
    {
        // A whole subject, a member name and the golden mark, each typed in another letter case than stored.
        whileOpen([](TfmSearch &d) {
            d.Edit1()->setText(QStringLiteral("treeview"));
            d.RadioGroup1()->button(0)->click();
            d.cbField()->setCurrentIndex(1);
            d.BitBtn1()->click();
        });
        QCOMPARE(m_host->ids(), std::vector<std::int64_t>{1013});
        init();
        whileOpen([](TfmSearch &d) {
            d.edMember()->setText(QStringLiteral("ALICE"));
            d.cbField()->setCurrentIndex(1);
            d.BitBtn1()->click();
        });
        QCOMPARE(m_host->ids(), std::vector<std::int64_t>{1002});
        init();
        whileOpen([](TfmSearch &d) {
            d.CheckBox(6)->setChecked(true);
            d.BitBtn1()->click();
        });
        QCOMPARE(m_host->ids(), (std::vector<std::int64_t>{1010, 1003, 1002}));
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
    }

    void unknownMemberIsShownAndClosesTheDialog()
    {
        whileOpen([](TfmSearch &d) {
            d.edMember()->setText(QStringLiteral("無名氏 "));
            d.BitBtn1()->click();
        });
        QCOMPARE(m_errors, QStringList{QStringLiteral("找不到會員無名氏 ")});
        QCOMPARE(m_host->changes, 0);
    }

    void cancelRunsNothing()
    {
        whileOpen([](TfmSearch &d) {
            d.Edit1()->setText(QStringLiteral("socket"));
            d.BitBtn2()->click();
        });
        QCOMPARE(m_host->changes, 0);
        QVERIFY(m_messages.isEmpty());
    }

    void quickSearchSaysWhenNothingIsFound()
    {
        QuickSearchClick(*m_host, "it's");
        QCOMPARE(m_host->ids(), std::vector<std::int64_t>{1011});
        QVERIFY(m_messages.isEmpty());
        QuickSearchClick(*m_host, "no such words");
        QCOMPARE(m_messages, QStringList{QStringLiteral("查無資料")});
        QVERIFY(m_host->topic.isOpen());
        QCOMPARE(m_host->status, std::string());
    }
};

QTEST_MAIN(SearchDialogTest)
#include "search_dialog_test.moc"
