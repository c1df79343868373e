#include "shell/find_bar.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

namespace velm {

QString FindCountText(int activeMatch, int numberOfMatches)
{
    if (numberOfMatches <= 0)
        return QStringLiteral("找不到");
    return QStringLiteral("第 %1 項，共 %2 項").arg(activeMatch).arg(numberOfMatches);
}

FindBar::FindBar(QWebEnginePage *page, QWidget *parent) : QWidget(parent), m_page(page)
{
    setObjectName("FindBar");
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(2);
    row->addWidget(new QLabel(QStringLiteral("尋找:"), this));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName("FindEdit");
    m_edit->setFixedWidth(180);
    row->addWidget(m_edit);

    const auto button = [this, row](const char *name, const QString &hint, QStyle::StandardPixmap image) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setIcon(style()->standardIcon(image));
        b->setAutoRaise(true);
        row->addWidget(b);
        return b;
    };
    connect(button("FindPrevious", QStringLiteral("上一個"), QStyle::SP_ArrowUp), &QToolButton::clicked, this,
            &FindBar::findPrevious);
    connect(button("FindNext", QStringLiteral("下一個"), QStyle::SP_ArrowDown), &QToolButton::clicked, this,
            &FindBar::findNext);
    m_count = new QLabel(this);
    m_count->setObjectName("FindCount");
    row->addWidget(m_count, 1);
    connect(button("FindClose", QStringLiteral("關閉"), QStyle::SP_TitleBarCloseButton), &QToolButton::clicked, this,
            &FindBar::close);

    // Typing finds as it goes; Enter goes on to the next place, Shift+Enter back.
    connect(m_edit, &QLineEdit::textEdited, this, [this] { find(false); });
    connect(m_edit, &QLineEdit::returnPressed, this, &FindBar::findNext);
    auto *back = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Return), m_edit, nullptr, nullptr, Qt::WidgetShortcut);
    connect(back, &QShortcut::activated, this, &FindBar::findPrevious);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), parent, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &FindBar::close);
    connect(m_page, &QWebEnginePage::findTextFinished, this, &FindBar::showResult);
    hide();
}

void FindBar::open()
{
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void FindBar::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_escape->setEnabled(true);
}

void FindBar::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_escape->setEnabled(false);
}

void FindBar::close()
{
    hide();
    m_count->clear();
    m_page->findText(QString()); // an empty text takes the marks away
}

void FindBar::findNext()
{
    find(false);
}

void FindBar::findPrevious()
{
    find(true);
}

void FindBar::setText(const QString &text)
{
    m_edit->setText(text);
}

QString FindBar::text() const
{
    return m_edit->text();
}

void FindBar::find(bool backward)
{
    const QString text = m_edit->text();
    if (text.isEmpty()) {
        m_count->clear();
        m_page->findText(QString());
        return;
    }
    m_page->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void FindBar::showResult(const QWebEngineFindTextResult &result)
{
    if (m_edit->text().isEmpty())
        return;
    m_count->setText(FindCountText(result.activeMatch(), result.numberOfMatches()));
}

} // namespace velm
