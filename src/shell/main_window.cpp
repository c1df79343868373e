#include "shell/main_window.h"

#include "archive/archive_file.h"
#include "archive/forum_text.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/paths.h"
#include "base/qtext.h"
#include "codeconv/gbbig.h"
#include "settings/settings.h"
#include "settings/version.h"
#include "shell/article_view.h"
#include "shell_core/file_association.h"
#include "shell_widgets/messages.h"
#include "shell_widgets/progress_window.h"
#include "shell/splitter.h"
#include "shell_core/startup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QWebEngineView>
#include <QWheelEvent>
#include <QWindow>

#include <utility>

namespace velm {
namespace {

bool isWithin(QObject *object, const QWidget *ancestor)
{
    for (auto *w = qobject_cast<QWidget *>(object); w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

} // namespace

QString MainCaption()
{
    return QStringLiteral("Velm討論區 離線閱讀包 V") + QString::fromLatin1(kProgramVersion);
}

TfmMain::TfmMain(StartupOptions options, QWidget *parent) : QMainWindow(parent), m_options(std::move(options))
{
    setObjectName("fmMain");
    buildLayout();
    FormCreate();
}

TfmMain::~TfmMain()
{
    // The threads stop first: nothing they report may reach a window being taken down.
    m_indexBuilder.reset();
    m_searchWorker.reset();
    m_suggestionWorker.reset();
    qApp->removeEventFilter(this);
    setSourceChangedHandler({});
    setArchiveNoticeHandler({});
    if (DefaultConnection() == &m_archive)
        SetDefaultConnection(nullptr);
}

void TfmMain::FormCreate()
{
    m_downloadMirrors = DownloadMirrorList();
    ShuffleList(m_downloadMirrors);
    m_idHTTP1.setEvents({[this](std::int64_t total) { IdHTTP1WorkBegin(total); },
                         [this](std::int64_t count) { IdHTTP1Work(count); },
                         [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }});
    RegisterFileType(".VLP", "", "Velm Package", executablePath(), "");
    m_forumBaseUrl = ForumBaseURL();
    m_webBrowserDemo->setUrl(QUrl(QString::fromStdString(m_forumBaseUrl + "velmpack/demo.html")));
    m_pageControl->setCurrentIndex(0);
    SetDefaultConnection(&m_archive);
    m_topic.setConnection(&m_archive);
    // The grid shows a few columns of each row: message bodies are never read into it.
    m_topic.setColumns({std::begin(kTopicCellColumns), std::end(kTopicCellColumns)});
    m_webBrowser1->setUrl(QUrl(QStringLiteral("about:blank")));
    // A newer Access archive put in place of a converted one is converted again only when the user says so.
    setSourceChangedHandler([](const std::string &mdbPath, const std::string &sqlitePath) {
        return AskYesNo(Big5Text::fromUtf8("資料庫檔案 " + mdbPath +
                                           " 在轉換之後已經變更。\n要重新轉換嗎？\n（原先轉換的 " + sqlitePath +
                                           " 會保留為 " + sqlitePath + ".old，其中匯入的補充包資料不會遺失）"));
    });
    setArchiveNoticeHandler([](ArchiveNotice kind, const std::string &text) {
        if (kind == ArchiveNotice::Warning)
            ShowMessage(Big5Text::fromUtf8(text));
    });
    InitCodeTables();
    setWindowTitle(MainCaption());
    restoreLayout();
    applyGridColumnWidths();
    qApp->installEventFilter(this);
    m_savedPanel4Width = panel4Width();
    m_savedPanel3Height = panel3Height();
    openStore();
}

void TfmMain::restoreLayout()
{
    WindowLayout layout = ReadLayout([](const char *name) { return ReadSetting(kAppKey, name).bytes(); });
    // The screen the stored window stood on, or the primary one when that point is on none.
    const QScreen *screen = QGuiApplication::screenAt(QPoint(layout.left, layout.top));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        FitLayoutToScreen(layout, screen->availableGeometry());
    QFont font(qFromCp950(Big5Text(layout.fontName)), layout.fontSize);
    // The dialogs are windows of their own and take no font from this one: the application's is theirs.
    QApplication::setFont(font);
    setFont(font);
    if (layout.maximized) {
        setWindowState(Qt::WindowMaximized);
    } else {
        setWindowState(Qt::WindowNoState);
        move(layout.left, layout.top);
        resize(layout.width, layout.height);
    }
    setPanel3Height(layout.panel3Height);
    setPanel4Width(layout.panel4Width);
}

void TfmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    keepOnScreen();
    // The first-show steps run once the window is on screen, from the message loop.
    QTimer::singleShot(0, this, [this] {
        guarded([this] { FormShow(); });
        guarded([this] { showStoreNotice(); });
        m_firstShowFinished = true;
        emit firstShowDone();
        if (!m_demoCheckWaiting.isEmpty())
            guarded([this] { WebBrowserDemoDocumentComplete(std::exchange(m_demoCheckWaiting, QUrl())); });
    });
}

void TfmMain::keepOnScreen()
{
    const QScreen *shownOn = screen();
    if (!shownOn || !windowHandle() || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    // The restored size was limited to the screen before the window had a frame; the frame is known now.
    const QMargins frame = windowHandle()->frameMargins();
    int left = pos().x() + frame.left();
    int top = pos().y() + frame.top();
    int w = width();
    int h = height();
    FitWindowToArea(left, top, w, h, shownOn->availableGeometry().marginsRemoved(frame));
    if (QSize(w, h) != size())
        resize(w, h);
    if (QPoint(left - frame.left(), top - frame.top()) != pos())
        move(left - frame.left(), top - frame.top());
}

void TfmMain::FormShow()
{
    const std::string connectionText = startupConnectionText(m_options.programFolder);
    bool placeKept = false;
    if (m_archive.connectionText().empty())
        placeKept = openStartArchive(connectionText);
    bool treeBuilt = false;
    if (m_firstShow && !m_options.arguments.isEmpty()) {
        m_firstShow = false;
        treeBuilt = importStartupPackage();
        if (m_progress)
            m_progress->close();
    }
    if (!treeBuilt)
        BuildForumTree();
    prepareArticleQueries();
    if (placeKept)
        restorePlace();
}

void TfmMain::prepareArticleQueries()
{
    m_article.prepare(&m_archive);
}

void TfmMain::closeEvent(QCloseEvent *event)
{
    guarded([this] { FormClose(); });
    QMainWindow::closeEvent(event);
}

void TfmMain::FormClose()
{
    WriteLayout(currentLayout(),
                [](const char *name, const std::string &value) { WriteSetting(kAppKey, name, Big5Text(value)); });
    writePlace();
    m_topic.unprepare();
    m_article.unprepare();
}

WindowLayout TfmMain::currentLayout() const
{
    WindowLayout layout;
    layout.maximized = isMaximized();
    layout.left = pos().x();
    layout.top = pos().y();
    layout.width = width();
    layout.height = height();
    layout.panel3Height = panel3Height();
    layout.panel4Width = panel4Width();
    return layout;
}

void TfmMain::ToolButton14Click()
{
    if (panel4Width() > 1 || panel3Height() > 1) {
        setPanel4Width(1);
        setPanel3Height(1);
    } else if (m_savedPanel4Width > 1 && m_savedPanel3Height > 1) {
        setPanel4Width(m_savedPanel4Width);
        setPanel3Height(m_savedPanel3Height);
    } else {
        setPanel4Width(169);
        setPanel3Height(176);
    }
}

void TfmMain::SpeedButton1Click()
{
    close();
}

int TfmMain::panel4Width() const
{
    return m_panel4->maximumWidth();
}

int TfmMain::panel3Height() const
{
    return m_panel3->maximumHeight();
}

// A pane's set size is its largest size: the layout gives it that much where the window has room.
void TfmMain::setPanel4Width(int width)
{
    m_panel4->setMaximumWidth(std::max(width, 0));
    Panel4Resize();
}

void TfmMain::setPanel3Height(int height)
{
    m_panel3->setMaximumHeight(std::max(height, 0));
    Panel3Resize();
}

void TfmMain::Panel4Resize()
{
    if (m_panel4->maximumWidth() <= 0)
        m_panel4->setMaximumWidth(1);
}

void TfmMain::Panel3Resize()
{
    if (m_panel3->maximumHeight() <= 0)
        m_panel3->setMaximumHeight(1);
}

void TfmMain::setStatusText(const std::string &cp950)
{
    m_statusText->setText(qFromCp950(Big5Text(cp950)));
}

bool TfmMain::eventFilter(QObject *watched, QEvent *event)
{
    return AppMessage(watched, event) || QMainWindow::eventFilter(watched, event);
}

bool TfmMain::AppMessage(QObject *watched, QEvent *event)
{
    if (!watched->isWidgetType())
        return false;
    if (readingEvent(watched, event) || keepingEvent(watched, event))
        return true;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
        m_searchRunning && static_cast<QWidget *>(watched)->window() == this) {
        cancelTopicSearch();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        QWidget *target = QApplication::widgetAt(mouse->globalPosition().toPoint());
        if (!target)
            target = static_cast<QWidget *>(watched);
        for (QWidget *control : {static_cast<QWidget *>(m_webBrowser1), static_cast<QWidget *>(m_grid)})
            if (isWithin(target, control)) {
                control->setFocus(Qt::MouseFocusReason);
                break;
            }
        return false;
    }
    if (event->type() == QEvent::Wheel && isWithin(watched, m_grid)) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        guarded([&] {
            if (m_topic.isOpen() && !m_topic.isEmpty()) {
                if (wheel->angleDelta().y() < 0)
                    m_topic.next();
                else if (wheel->angleDelta().y() > 0)
                    m_topic.prior();
            }
        });
        return true;
    }
    return false;
}

} // namespace velm
