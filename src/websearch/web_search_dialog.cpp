#include "websearch/web_search_dialog.h"

#include "base/qtext.h"
#include "settings/settings.h"
#include "websearch/browser.h"
#include "websearch/site_table.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

#include <map>

namespace velm {
namespace {

constexpr int kWidth = 446;
constexpr int kHeight = 470;

QLabel *groupLabel(const char *caption, QWidget *parent)
{
    auto *label = new QLabel(QString::fromUtf8(caption), parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    label->setPalette(palette);
    return label;
}

// The number of a name "checkbox" + decimal digits, or -1.
int siteNumberOf(const QString &name)
{
    static const QString prefix = QStringLiteral("checkbox");
    if (!name.startsWith(prefix, Qt::CaseInsensitive) || name.size() == prefix.size())
        return -1;
    const QString digits = name.mid(prefix.size());
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return -1;
    bool ok = false;
    const int number = digits.toInt(&ok);
    return ok && number <= kMaxSiteNumber && digits == QString::number(number) ? number : -1;
}

} // namespace

TFormWebSearch::TFormWebSearch(QWidget *parent)
    : QDialog(parent), m_openResults([](const SearchLists &lists) { OpenSearchResults(lists); })
{
    setObjectName("FormWebSearch");
    setWindowTitle(QStringLiteral("程式設計技術文章網際大搜尋"));
    setFixedSize(kWidth, kHeight);

    m_edit1 = new QLineEdit(this);
    m_edit1->setObjectName("Edit1");
    auto *label = new QLabel(QStringLiteral("尋找關鍵字"), this);
    label->setBuddy(m_edit1);
    m_checkBoxGB = new QCheckBox(QStringLiteral("簡體網站自動轉簡體"), this);
    m_checkBoxGB->setObjectName("CheckBoxGB");
    m_checkBoxGB->setChecked(true);
    m_checkBoxBig = new QCheckBox(QStringLiteral("繁體網站自動轉繁體"), this);
    m_checkBoxBig->setObjectName("CheckBoxBig");
    m_speedButton1 = new QPushButton(QStringLiteral("全部選擇"), this);
    m_speedButton1->setObjectName("SpeedButton1");
    m_speedButton2 = new QPushButton(QStringLiteral("全部取消"), this);
    m_speedButton2->setObjectName("SpeedButton2");
    m_staticText1 = new QLabel(
        QStringLiteral("連結故障或推薦查詢網站請e-Mail到 ") + QString::fromLatin1(WebSearchContactAddress()), this);
    m_staticText1->setObjectName("StaticText1");
    m_staticText1->setCursor(Qt::PointingHandCursor);
    m_staticText1->setAutoFillBackground(true);
    QPalette palette = m_staticText1->palette();
    palette.setColor(QPalette::Window, QColor(0xC0, 0xFF, 0xC0));
    m_staticText1->setPalette(palette);
    m_staticText1->installEventFilter(this);
    m_bitBtn1 = new QPushButton(QStringLiteral("確定"), this);
    m_bitBtn1->setObjectName("BitBtn1");
    m_bitBtn1->setDefault(true);
    m_bitBtn2 = new QPushButton(QStringLiteral("取消"), this);
    m_bitBtn2->setObjectName("BitBtn2");

    auto *keywordRow = new QHBoxLayout;
    keywordRow->addWidget(label);
    keywordRow->addWidget(m_edit1);
    auto *selectRow = new QHBoxLayout;
    selectRow->addWidget(m_speedButton1);
    selectRow->addWidget(m_speedButton2);
    selectRow->addStretch();
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_bitBtn1);
    buttonRow->addWidget(m_bitBtn2);
    auto *sites = new QScrollArea(this);
    sites->setWidget(buildSiteColumn());
    sites->setWidgetResizable(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(keywordRow);
    layout->addWidget(m_checkBoxGB);
    layout->addWidget(m_checkBoxBig);
    layout->addLayout(selectRow);
    layout->addWidget(sites, 1);
    layout->addWidget(m_staticText1);
    layout->addLayout(buttonRow);

    connect(m_bitBtn1, &QPushButton::clicked, this, &TFormWebSearch::BitBtn1Click);
    connect(m_bitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_speedButton1, &QPushButton::clicked, this, &TFormWebSearch::SpeedButton1Click);
    connect(m_speedButton2, &QPushButton::clicked, this, &TFormWebSearch::SpeedButton2Click);
}

QWidget *TFormWebSearch::buildSiteColumn()
{
    auto *column = new QWidget;
    auto *layout = new QVBoxLayout(column);
    layout->setSpacing(2);
    const std::string base = ForumBaseURL();
    for (const SiteGroup &group : WebSiteGroups()) {
        layout->addWidget(groupLabel(group.caption, column));
        for (int number : group.numbers) {
            const WebSite *site = findWebSite(number);
            auto *box = new QCheckBox(qFromCp950(Big5Text(SiteCaption(*site))), column);
            box->setObjectName(QStringLiteral("CheckBox%1").arg(number));
            box->setToolTip(QString::fromStdString(SiteHome(*site, base)));
            box->setProperty(kTemplateProperty, QByteArray::fromStdString(SiteTemplate(*site, base)));
            layout->addWidget(box);
        }
    }
    layout->addStretch();
    return column;
}

std::vector<QCheckBox *> TFormWebSearch::siteBoxes() const
{
    std::map<int, QCheckBox *> byNumber;
    for (QCheckBox *box : findChildren<QCheckBox *>())
        if (const int number = siteNumberOf(box->objectName()); number >= 0)
            byNumber.try_emplace(number, box);
    std::vector<QCheckBox *> boxes;
    for (const auto &[number, box] : byNumber)
        boxes.push_back(box);
    return boxes;
}

void TFormWebSearch::BitBtn1Click()
{
    std::vector<SiteBox> boxes;
    for (QCheckBox *box : siteBoxes())
        boxes.push_back({siteNumberOf(box->objectName()), qToCp950(box->text()).bytes(),
                         box->property(kTemplateProperty).toByteArray().toStdString(), box->isChecked()});
    const SearchLists lists = BuildSearchLists(boxes, TypedKeyword(m_edit1->text().toUtf8().toStdString()),
                                               m_checkBoxGB->isChecked(), m_checkBoxBig->isChecked());
    if (!lists.empty())
        m_openResults(lists);
    accept();
}

void TFormWebSearch::SpeedButton1Click()
{
    for (QCheckBox *box : siteBoxes())
        box->setChecked(true);
}

void TFormWebSearch::SpeedButton2Click()
{
    for (QCheckBox *box : siteBoxes())
        box->setChecked(false);
}

void TFormWebSearch::StaticText1Click()
{
    const QString link = QStringLiteral("mailto:") + QString::fromLatin1(WebSearchContactAddress()) +
                         QStringLiteral("?subject=[搜網建議]");
    QDesktopServices::openUrl(QUrl(link)); // the outcome is ignored
}

bool TFormWebSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_staticText1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        StaticText1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ShowWebSearchDialog(QWidget *parent)
{
    TFormWebSearch dialog(parent);
    dialog.exec();
}

} // namespace velm
