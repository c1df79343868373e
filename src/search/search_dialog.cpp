#include "search/search_dialog.h"

#include "base/cp950.h"
#include "base/qtext.h"
#include "codeconv/typed_text.h"
#include "search/advanced_search.h"
#include "search/search_host.h"
#include "shell_widgets/messages.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace velm {
namespace {

constexpr int kWidth = 597;
constexpr int kHeight = 250;
constexpr int kCategoriesWidth = 200;
// The two filters stand out from the category kinds.
constexpr const char *kFilterStyle = "QCheckBox { background-color: #c0dcc0; }";

// Rows with room around the text: the CJK faces report a height their glyphs fill to the edge, so rows of
// that height run the entries together and the list's last entry is cut.
class RoomyRows final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), option.fontMetrics.height() + kRowRoom));
        return size;
    }

    static constexpr int kRowRoom = 6;
};

QComboBox *dropDown(const QString &name, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setItemDelegate(new RoomyRows(combo));
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(4);
    return combo;
}

} // namespace

int comboPosition(const QComboBox &combo)
{
    const QString text = combo.currentText();
    if (combo.currentIndex() >= 0 && combo.itemText(combo.currentIndex()) == text)
        return combo.currentIndex();
    return combo.findText(text, Qt::MatchExactly);
}

TfmSearch::TfmSearch(SearchHost &host, QWidget *owner) : QDialog(owner), m_host(host)
{
    setObjectName("fmSearch");
    setWindowTitle(QStringLiteral("搜尋文章"));
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(buildFields(), 1);
    layout->addWidget(buildCategories());
    layout->addWidget(buildButtons());
    FormCreate();
}

QWidget *TfmSearch::buildFields()
{
    auto *panel = new QWidget(this);
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    auto label = [panel](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, panel);
        l->setBuddy(buddy);
        return l;
    };

    m_edit1 = new QLineEdit(panel);
    m_edit1->setObjectName("Edit1");
    m_edit1->setToolTip(QStringLiteral("空白不輸入代表查詢全部資料"));
    grid->addWidget(label(QStringLiteral("尋找內容"), m_edit1), 0, 0);
    grid->addWidget(m_edit1, 0, 1, 1, 3);

    auto *modes = new QGroupBox(panel);
    modes->setObjectName("RadioGroup1");
    auto *modeLayout = new QVBoxLayout(modes);
    modeLayout->setSpacing(0);
    m_radioGroup1 = new QButtonGroup(modes);
    const QString modeCaptions[] = {QStringLiteral("整行符合"), QStringLiteral("用AND查詢 (查詢關鍵字用空白間隔)"),
                                    QStringLiteral("用OR查詢 (查詢關鍵字用空白間隔)")};
    for (int i = 0; i < 3; ++i) {
        auto *button = new QRadioButton(modeCaptions[i], modes);
        m_radioGroup1->addButton(button, i);
        modeLayout->addWidget(button);
    }
    m_radioGroup1->button(1)->setChecked(true);
    grid->addWidget(modes, 1, 0, 1, 4);

    m_cbDate = dropDown("cbDate", panel);
    for (const char *range : kDateRanges)
        m_cbDate->addItem(QString::fromUtf8(range));
    m_cbField = dropDown("cbField", panel);
    m_cbField->addItems({QStringLiteral("全部欄位"), QStringLiteral("只找主題")});
    grid->addWidget(label(QStringLiteral("時間"), m_cbDate), 2, 0);
    grid->addWidget(m_cbDate, 2, 1);
    grid->addWidget(label(QStringLiteral("欄位"), m_cbField), 2, 2);
    grid->addWidget(m_cbField, 2, 3);

    m_edMember = new QLineEdit(panel);
    m_edMember->setObjectName("edMember");
    m_cbForum = dropDown("cbForum", panel);
    grid->addWidget(label(QStringLiteral("會員"), m_edMember), 3, 0);
    grid->addWidget(m_edMember, 3, 1);
    grid->addWidget(label(QStringLiteral("討論區"), m_cbForum), 3, 2);
    grid->addWidget(m_cbForum, 3, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 2);
    return panel;
}

QWidget *TfmSearch::buildCategories()
{
    auto *group = new QGroupBox(QStringLiteral("尋找分類"), this);
    group->setMinimumWidth(kCategoriesWidth);
    auto *scroll = new QScrollArea(group);
    scroll->setWidgetResizable(true);
    auto *boxes = new QWidget(scroll);
    auto *boxLayout = new QVBoxLayout(boxes);
    boxLayout->setSpacing(2);
    for (int i = 0; i < kSearchBoxCount; ++i) {
        const SearchBox &box = kSearchBoxes[static_cast<size_t>(i)];
        auto *check = new QCheckBox(QString::fromUtf8(box.caption), boxes);
        check->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        check->setProperty("tag", box.tag);
        check->setChecked(box.ticked);
        if (i == kGoldenBox || i == kFileBox)
            check->setStyleSheet(kFilterStyle);
        boxLayout->addWidget(check);
        m_checkBoxes[static_cast<size_t>(i)] = check;
    }
    boxLayout->addStretch();
    scroll->setWidget(boxes);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(scroll);
    return group;
}

QWidget *TfmSearch::buildButtons()
{
    auto *panel = new QWidget(this);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    m_bitBtn1 = new QPushButton(QStringLiteral(" 查詢"), panel);
    m_bitBtn1->setObjectName("BitBtn1");
    m_bitBtn1->setDefault(true);
    m_bitBtn2 = new QPushButton(QStringLiteral("取消"), panel);
    m_bitBtn2->setObjectName("BitBtn2");
    column->addWidget(m_bitBtn1);
    column->addWidget(m_bitBtn2);
    column->addStretch();
    connect(m_bitBtn1, &QPushButton::clicked, this, &TfmSearch::BitBtn1Click);
    connect(m_bitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    return panel;
}

void TfmSearch::FormCreate()
{
    resize(kWidth, kHeight);
    if (const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_cbForum->addItem(QStringLiteral("全部的討論區"));
    for (const SearchForum &forum : SearchForumList())
        m_cbForum->addItem(qFromCp950(Big5Text(forum.subject)), QVariant::fromValue<qlonglong>(forum.id));
    m_cbForum->setCurrentIndex(0);
}

SearchChoices TfmSearch::choices() const
{
    SearchChoices c;
    c.keywords = qTypedToBig5(m_edit1->text());
    c.mode = m_radioGroup1->checkedId() == 0   ? MatchMode::WholeLine
             : m_radioGroup1->checkedId() == 2 ? MatchMode::Or
                                               : MatchMode::And;
    c.datePosition = comboPosition(*m_cbDate);
    c.field = comboPosition(*m_cbField) == 0 ? SearchField::All : SearchField::SubjectOnly;
    c.member = qTypedToBig5(m_edMember->text());
    const int forum = comboPosition(*m_cbForum);
    if (forum > 0)
        c.forum = m_cbForum->itemData(forum).toLongLong();
    for (int i = 0; i < kSearchBoxCount; ++i)
        c.boxes[static_cast<size_t>(i)] = m_checkBoxes[static_cast<size_t>(i)]->isChecked();
    return c;
}

void TfmSearch::BitBtn1Click()
{
    // As with the design's OK button, a failure ends with the dialog closed; only "no row" keeps it. The
    // dialog waits for the search's end, which may come after this returns; closing it meanwhile stops it.
    QPointer<TfmSearch> self(this);
    bool started = false;
    guarded([&] {
        m_running = true;
        StartAdvancedSearch(m_host, choices(), LocalToday(), [self](bool found) {
            if (!self)
                return;
            self->m_running = false;
            if (found)
                self->accept();
            else
                ShowMessage(Big5Text(B5("找不到相關資料")));
        });
        started = true;
    });
    if (!started) {
        m_running = false;
        accept();
    }
}

void TfmSearch::reject()
{
    if (m_running)
        m_host.cancelTopicSearch();
    m_running = false;
    QDialog::reject();
}

TfmSearch *TfmSearch::openDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<TfmSearch *>(widget))
            return dialog;
    return nullptr;
}

void TfmSearch::showFor(QWidget *owner, SearchHost &host)
{
    if (TfmSearch *open = openDialog()) {
        if (open->isMinimized()) {
            open->showNormal();
        } else {
            open->raise();
            open->activateWindow();
        }
        return;
    }
    auto *dialog = new TfmSearch(host, owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->exec();
}

} // namespace velm
