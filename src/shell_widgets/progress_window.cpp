#include "shell_widgets/progress_window.h"

#include "base/qtext.h"

#include <QCloseEvent>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QScreen>
#include <algorithm>

namespace velm {

TFormProgress::TFormProgress(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      m_bar(new QProgressBar(this))
{
    setObjectName("FormProgress");
    setWindowTitle(QStringLiteral("資料載入進度"));
    setFixedSize(519, 32);
    setModal(false);
    m_bar->setObjectName("ProgressBar1");
    m_bar->setGeometry(8, 8, 500, 14);
    m_bar->setTextVisible(false);
    updateBar();
}

void TFormProgress::setCaption(const std::string &cp950)
{
    setWindowTitle(qFromCp950(Big5Text(cp950)));
}

void TFormProgress::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    updateBar();
}

void TFormProgress::setPosition(int position)
{
    m_position = position;
    updateBar();
}

void TFormProgress::updateBar()
{
    // An empty range shows an empty bar; Qt would otherwise animate a busy bar.
    if (m_maximum <= m_minimum) {
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
        return;
    }
    m_bar->setRange(m_minimum, m_maximum);
    m_bar->setValue(std::clamp(m_position, m_minimum, m_maximum));
}

void TFormProgress::show()
{
    if (!isVisible()) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        QDialog::show();
    }
    raise();
}

void TFormProgress::close()
{
    m_closing = true;
    hide();
    m_closing = false;
}

void TFormProgress::processEvents()
{
    QCoreApplication::processEvents();
}

void TFormProgress::closeEvent(QCloseEvent *event)
{
    // Only its callers close it; the user cannot.
    if (!m_closing)
        event->ignore();
}

void TFormProgress::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        return; // a dialog would close itself on Escape
    QDialog::keyPressEvent(event);
}

} // namespace velm
