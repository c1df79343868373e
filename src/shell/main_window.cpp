#include "main_window.h"

#include "archive_file.h"
#include "cp950.h"
#include "error.h"
#include "forum_tree.h"
#include "article_view.h"
#include "choose_package.h"
#include "config_dialog.h"
#include "desktop_open.h"
#include "file_association.h"
#include "forum_text.h"
#include "gbbig.h"
#include "messages.h"
#include "online_update.h"
#include "paths.h"
#include "progress_window.h"
#include "qtext.h"
#include "settings.h"
#include "search_commands.h"
#include "self_update.h"
#include "splitter.h"
#include "startup_import.h"
#include "topic_model.h"
#include "typed_text.h"
#include "startup.h"
#include "util.h"
#include "version.h"
#include "version_check.h"
#include "web_search_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>
#include <QWheelEvent>

#include <charconv>
#include <filesystem>
#include <utility>

namespace velm {
namespace {

class TreeWidgetSink final : public TreeSink {
public:
    explicit TreeWidgetSink(QTreeWidget *tree) : m_tree(tree) {}
    void clear() override { m_tree->clear(); }
    Node addRoot(const std::string &text, std::int64_t data) override { return make(new QTreeWidgetItem(m_tree), text, data); }
    Node addChild(Node parent, const std::string &text, std::int64_t data) override
    {
        return make(new QTreeWidgetItem(static_cast<QTreeWidgetItem *>(parent)), text, data);
    }
    void expand(Node node) override { static_cast<QTreeWidgetItem *>(node)->setExpanded(true); }

private:
    static Node make(QTreeWidgetItem *item, const std::string &text, std::int64_t data)
    {
        item->setText(0, qFromCp950(text));
        item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(data));
        return item;
    }
    QTreeWidget *m_tree;
};

bool isWithin(QObject *object, const QWidget *ancestor)
{
    for (auto *w = qobject_cast<QWidget *>(object); w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

// Closes the progress window when the step that may have shown it ends, however it ends.
class ProgressCloser {
public:
    explicit ProgressCloser(TFormProgress *progress) : m_progress(progress) {}
    ~ProgressCloser()
    {
        if (m_progress)
            m_progress->close();
    }
    ProgressCloser(const ProgressCloser &) = delete;
    ProgressCloser &operator=(const ProgressCloser &) = delete;

private:
    TFormProgress *m_progress;
};

// An archive the reader can show holds the five forum tables.
void requireForumTables(const Connection &archive, const std::string &path)
{
    for (const char *table : {"FORUM_CATEGORY", "FORUM_FORUM", "FORUM_TOPICS", "FORUM_REPLY", "FORUM_MEMBERS"}) {
        try {
            archive.prepare(std::string("select * from ") + table + " where 0");
        } catch (const Error &e) {
            raiseUtf8("不是討論區資料庫: " + path + " (" + e.utf8() + ")");
        }
    }
}

// A stored forum or topic number: a whole number above 0, anything else (absent, text) reads as 0.
std::int64_t storedId(const char *name)
{
    const std::string text = ReadSetting(kAppKey, name);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

// The archive path is kept as a file address, which is plain ASCII whatever the path holds; anything
// else stored there reads as absent.
std::string storedArchivePath()
{
    const QUrl address = QUrl::fromEncoded(QByteArray::fromStdString(ReadSetting(kAppKey, "LastArchive")), QUrl::StrictMode);
    return address.isValid() && address.isLocalFile() ? address.toLocalFile().toStdString() : std::string();
}

// A server as the user would name it: its host, with the port when the address gives one.
QString serverName(const QUrl &url)
{
    if (url.host().isEmpty())
        return url.toString();
    return url.port() >= 0 ? url.host() + ':' + QString::number(url.port()) : url.host();
}

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::path(a), std::filesystem::path(b), ec) && !ec;
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
        return AskYesNo(toCp950("資料庫檔案 " + mdbPath + " 在轉換之後已經變更。\n要重新轉換嗎？\n（原先轉換的 " +
                                sqlitePath + " 會保留為 " + sqlitePath + ".old，其中匯入的補充包資料不會遺失）"));
    });
    setArchiveNoticeHandler([](ArchiveNotice kind, const std::string &text) {
        if (kind == ArchiveNotice::Warning)
            ShowMessage(toCp950(text));
    });
    InitCodeTables();
    setWindowTitle(MainCaption());
    restoreLayout();
    applyGridColumnWidths();
    qApp->installEventFilter(this);
    m_savedPanel4Width = panel4Width();
    m_savedPanel3Height = panel3Height();
}

void TfmMain::restoreLayout()
{
    WindowLayout layout = ReadLayout([](const char *name) { return ReadSetting(kAppKey, name); });
    // The screen the stored window stood on, or the primary one when that point is on none.
    const QScreen *screen = QGuiApplication::screenAt(QPoint(layout.left, layout.top));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        FitLayoutToScreen(layout, screen->availableGeometry());
    QFont font(qFromCp950(layout.fontName), layout.fontSize);
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

bool TfmMain::openStartArchive(const std::string &startupText)
{
    const std::string last = storedArchivePath();
    if (last.empty()) {
        OpenArchive(m_archive, startupText);
        return true;
    }
    // An archive that is gone is no error: the start is the usual one, without the place kept in it.
    if (QFileInfo(QString::fromStdString(last)).isFile()) {
        bool opened = false;
        guarded([&] { opened = OpenArchive(m_archive, last); });
        if (opened) {
            m_lastArchive = last;
            return true;
        }
    }
    OpenArchive(m_archive, startupText);
    return false;
}

void TfmMain::restorePlace()
{
    const std::int64_t forumId = storedId("LastForumID");
    const std::int64_t topicId = storedId("LastTopicID");
    QTreeWidgetItem *forum = nullptr;
    for (QTreeWidgetItemIterator it(m_tv); forumId > 0 && *it && !forum; ++it)
        if ((*it)->data(0, Qt::UserRole).toLongLong() == forumId)
            forum = *it;
    if (forum) {
        for (QTreeWidgetItem *up = forum->parent(); up; up = up->parent())
            up->setExpanded(true);
        forum->setExpanded(true);
        m_tv->setCurrentItem(forum); // lists its topics
        m_tv->scrollToItem(forum);
    }
    if (topicId <= 0)
        return;
    if (forum && m_topic.isOpen())
        m_topic.locate("TOPIC_ID", Value::integer(topicId)); // its row in the list, when it is there
    const std::string id = std::to_string(topicId);
    LoadArticle(id);
    // Shown now, it is not replaced by the list's row when the wait ends; a topic that is gone leaves the
    // list's row to be shown as after a click on the forum.
    if (const ArticleVisit *visit = m_history.current(); visit && visit->topicId == id)
        m_timer1->stop();
}

void TfmMain::rememberForum(std::int64_t forumId)
{
    if (forumId <= 0 || forumId == m_lastForumId)
        return;
    m_lastForumId = forumId;
    WriteSetting(kAppKey, "LastForumID", std::to_string(forumId));
}

void TfmMain::rememberTopic(const std::string &topicId)
{
    if (topicId.empty() || topicId == m_lastTopicId)
        return;
    m_lastTopicId = topicId;
    WriteSetting(kAppKey, "LastTopicID", topicId);
}

void TfmMain::writePlace()
{
    const std::string archive =
        m_lastArchive.empty() ? std::string() : QUrl::fromLocalFile(QString::fromStdString(m_lastArchive)).toEncoded().toStdString();
    WriteSetting(kAppKey, "LastArchive", archive);
    WriteSetting(kAppKey, "LastForumID", m_lastForumId > 0 ? std::to_string(m_lastForumId) : std::string());
    WriteSetting(kAppKey, "LastTopicID", m_lastTopicId);
}

void TfmMain::showOfflinePage(QWebEngineView *view, const QWebEngineLoadingInfo &loading)
{
    if (loading.status() != QWebEngineLoadingInfo::LoadFailedStatus)
        return;
    const QUrl url = loading.url();
    // The server answered (an HTTP error has its own page), or the load gave way to another one.
    if (loading.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain ||
        (loading.errorDomain() == QWebEngineLoadingInfo::InternalErrorDomain && loading.errorCode() == -3))
        return;
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return;
    const QString where = serverName(url);
    const QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                                        "<body style=\"font-size:9pt;margin:4px\">無法連線到 %1 ，離線閱讀不受影響</body></html>")
                             .arg(where.toHtmlEscaped());
    if (view == m_webBrowserDemo)
        m_demoOfflinePage = true;
    view->setHtml(html);
}

CallbackImportHost TfmMain::importHost(bool withTree)
{
    CallbackImportHost::Callbacks callbacks{[this](const std::string &text) { setStatusText(text); }, m_progress,
                                            [] { QCoreApplication::processEvents(); }, {}, {}};
    if (withTree) {
        callbacks.buildForumTree = [this] { BuildForumTree(); };
        callbacks.showMessage = [](const std::string &text) { ShowMessage(text); };
    }
    return CallbackImportHost(std::move(callbacks));
}

bool TfmMain::importStartupPackage()
{
    std::vector<std::string> arguments;
    for (const QString &argument : m_options.arguments)
        arguments.push_back(argument.toStdString());
    CallbackImportHost host = importHost(true);
    bool treeBuilt = false;
    // An import error is shown; the first show then goes on and builds the tree.
    guarded([&] {
        changeArchive([&] {
            treeBuilt =
                ImportStartupPackage(joinArguments(arguments), m_options.programFolder, m_archive, m_package, host);
        });
    });
    return treeBuilt;
}

void TfmMain::ToolButton1Click()
{
    if (!ChoosePackageFile(this, ChoosePackageTitle(), m_package))
        return;
    const std::string chosen = m_package.connectionText();
    const std::string recorded = RecordedPackageTitle(chosen, m_archive);
    if (!recorded.empty() && !AskYesNo(B5("補充包 ") + recorded + B5(" 已經匯入過了，要再匯入一次嗎？")))
        return;
    // It ends as the start-up import does: the tree built anew, keeping the chosen forum, and the success shown.
    CallbackImportHost host = importHost(true);
    changeArchive([&] {
        std::string why;
        if (!ImportChosenPackage(m_archive, m_package, host, &why))
            raiseUtf8("補充包無法展開: " + (why.empty() ? chosen : why));
        FinishWindowImport(host);
    });
}

void TfmMain::changeArchive(const std::function<void()> &change)
{
    // Rows merged before an error stay merged: the names are read again whatever the outcome.
    try {
        change();
    } catch (...) {
        m_topicModel->resetMembers();
        throw;
    }
    m_topicModel->resetMembers();
}

void TfmMain::ToolButton15Click()
{
    ToolButton15Click(nullptr);
}

void TfmMain::ToolButton15Click(QObject *sender)
{
    const UpdateStart start = sender == m_webBrowserDemo ? UpdateStart::Automatic : UpdateStart::Toolbar;
    // Without an archive there is nothing to update; the failed open was reported already.
    if (start == UpdateStart::Automatic && !m_archive.connected())
        return;
    CallbackImportHost host = importHost(false);
    OnlineUpdateResult result;
    changeArchive([&] {
        result = RunOnlineUpdate(start, {m_forumBaseUrl, m_downloadMirrors, m_options.programFolder}, m_idHTTP1,
                                 m_archive, m_package, host, {AskYesNo, ShowMessage});
    });
    // Asked for from the toolbar, a list that could not be fetched is said, with the server and why.
    if (start == UpdateStart::Toolbar && result.outcome == UpdateOutcome::ListUnavailable) {
        const std::string where = serverName(QUrl(QString::fromStdString(m_forumBaseUrl))).toStdString();
        const std::string why = m_idHTTP1.lastError();
        raiseUtf8("無法連線到 " + where + " 取得補充包清單" + (why.empty() ? std::string() : "（" + why + "）") +
                  "，離線閱讀不受影響");
    }
}

bool TfmMain::WebBrowserDemoBeforeNavigate2(const QUrl &url)
{
    // The offline page the pane was just given is the program's own.
    if (url.scheme() == QLatin1String("data") && std::exchange(m_demoOfflinePage, false))
        return false;
    return DemoPaneBeforeNavigate(url);
}

void TfmMain::WebBrowserDemoDocumentComplete(const QUrl &url)
{
    const std::string address = url.toString(QUrl::RemoveFragment | QUrl::FullyEncoded).toStdString();
    if (!IsDemoPage(address))
        return;
    if (!m_firstShowFinished) {
        // The package update the check may start needs the archive that the first show opens.
        m_demoCheckWaiting = url;
        return;
    }
    // The engine rewrites the markup it shows (attribute names, quotes): the marker is read as served.
    std::string markup;
    if (!m_idHTTP1.get(address, markup))
        return;
    SilentProgress silent;
    ProgressSink &progress = m_progress ? static_cast<ProgressSink &>(*m_progress) : silent;
    const VersionCheckHost host{
        [this] { ToolButton7Click(); },
        [this] { ToolButton15Click(m_webBrowserDemo); },
        AskYesNo,
        ShowMessage,
        [] { QCoreApplication::processEvents(); },
        [](const std::string &path) { OpenOnDesktop(QUrl::fromLocalFile(QString::fromStdString(path))); },
        [this] { close(); }};
    RunVersionCheck(markup, {m_downloadMirrors, m_options.programFolder}, m_idHTTP1, progress, host);
}

void TfmMain::IdHTTP1WorkBegin(std::int64_t total)
{
    if (m_progress)
        velm::IdHTTP1WorkBegin(*m_progress, total);
}

void TfmMain::IdHTTP1Work(std::int64_t count)
{
    if (m_progress)
        velm::IdHTTP1Work(*m_progress, count);
}

void TfmMain::ToolButton3Click()
{
    AdvancedSearchClick(this, *this);
}

void TfmMain::ToolButton9Click()
{
    QuickSearchClick(*this, qTypedToBig5(m_editSearch->text()));
}

void TfmMain::ToolButton11Click()
{
    ShowWebSearchDialog(this);
}

void TfmMain::ToolButton13Click()
{
    ShowConfigDialog(this);
    applyGridColumnWidths();
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
    WriteLayout(currentLayout(), [](const char *name, const std::string &value) { WriteSetting(kAppKey, name, value); });
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

bool TfmMain::OpenArchive(Connection &connection, const std::string &connectionText)
{
    std::string text = connectionText;
    if (text.empty()) {
        // The first filter, the one the dialog starts with, lists both kinds of archive.
        const QString file = QFileDialog::getOpenFileName(
            this, m_openDialogTitle, QString(),
            QStringLiteral("資料庫 (*.mdb *.MDB *.sqlite *.SQLITE);;Access File (*.mdb *.MDB);;SQLite (*.sqlite *.SQLITE)"));
        text = file.toStdString();
    }
    if (text.empty())
        return false;
    SilentProgress silent;
    ProgressSink *progress = m_progress ? static_cast<ProgressSink *>(m_progress) : &silent;
    const ProgressCloser closer(m_progress);
    if (&connection != &m_archive) {
        connection.close();
        connection.setConnectionText(text);
        connection.open(progress);
        return true;
    }

    // The file is tried on a connection of its own first: one that is no archive leaves the open archive,
    // the tree, the topic list and the page as they were.
    std::string databasePath;
    {
        Connection trial(Connection::Mode::Archive);
        trial.setConnectionText(text);
        trial.open(progress);
        requireForumTables(trial, dataSourceOf(text));
        databasePath = trial.databasePath();
    }

    detachedTopicChange([&] { m_archive.close(); });
    m_currentForumId = 0;
    m_lastForumId = 0; // the place kept belongs to the archive closed
    m_lastTopicId.clear();
    m_topicModel->resetMembers();
    m_webBrowser1->setUrl(QUrl(QStringLiteral("about:blank"))); // no page of the archive closed stays
    m_history.clear(); // nor a way back to one
    m_searchKeywords.clear();
    // The converted file the trial opened: an Access archive is converted, or asked about, once.
    m_archive.setConnectionText(databasePath);
    try {
        m_archive.open(progress);
    } catch (...) {
        m_archive.setConnectionText(text);
        m_tv->clear(); // nothing is open: no tree of the archive closed stays either
        throw;
    }
    m_archive.setConnectionText(text);
    return true;
}

void TfmMain::BuildForumTree()
{
    ++m_treeBuilds;
    SilentProgress silent;
    ProgressSink &progress = m_progress ? static_cast<ProgressSink &>(*m_progress) : silent;
    TreeWidgetSink sink(m_tv);
    velm::BuildForumTree(sink, progress);
    m_tv->setCurrentItem(nullptr);
    m_tv->clearSelection();
    // A rebuild of the same archive keeps the chosen forum; its list stays as it is.
    if (m_currentForumId > 0) {
        for (QTreeWidgetItemIterator it(m_tv); *it; ++it) {
            if ((*it)->data(0, Qt::UserRole).toLongLong() == m_currentForumId) {
                m_tv->setCurrentItem(*it);
                m_tv->scrollToItem(*it);
                break;
            }
        }
    }
}

void TfmMain::changeTopicQuery(const std::function<void(Query &topic)> &change)
{
    detachedTopicChange([&] {
        if (!m_topic.connection())
            m_topic.setConnection(&m_archive);
        change(m_topic);
    });
}

void TfmMain::detachedTopicChange(const std::function<void()> &change)
{
    m_gridFollows = false;
    m_topicModel->beginQueryChange();
    try {
        change();
    } catch (...) {
        m_topicModel->endQueryChange();
        m_gridFollows = true;
        throw;
    }
    m_topicModel->endQueryChange();
    m_gridFollows = true;
    if (m_topic.isOpen() && !m_topic.isEmpty()) {
        const QModelIndex row = m_topicModel->index(static_cast<int>(m_topic.recNo()), 0);
        m_gridFollows = false;
        m_grid->setCurrentIndex(row);
        m_grid->scrollTo(row);
        m_gridFollows = true;
    }
}

void TfmMain::tvChange(QTreeWidgetItem *node)
{
    if (!node)
        return;
    const std::int64_t data = node->data(0, Qt::UserRole).toLongLong();
    if (data == m_currentForumId)
        return;
    m_currentForumId = data;
    if (data <= 0)
        return; // the root and the categories list no topics: the grid keeps what it shows
    rememberForum(data);
    m_searchKeywords.clear(); // a forum's topics are no search result
    changeTopicQuery([&](Query &topic) {
        if (topic.sql() != kForumTopicsSql)
            topic.setSql(kForumTopicsSql);
        topic.close();
        m_topic.setParam("frm_id", Value::integer(m_currentForumId));
        ++m_topicQueries;
        m_topic.open();
    });
}

void TfmMain::ADOTopicAfterScroll()
{
    if (m_gridFollows && m_topic.isOpen() && !m_topic.isEmpty()) {
        const int row = static_cast<int>(m_topic.recNo());
        m_topicModel->showRowsUpTo(row);
        m_topicModel->setCurrentRow(row);
        m_gridFollows = false;
        const QModelIndex index = m_topicModel->index(row, std::max(0, m_grid->currentIndex().column()));
        m_grid->setCurrentIndex(index);
        m_grid->scrollTo(index);
        m_gridFollows = true;
    }
    // Every move restarts the full wait, so only the row the user stops on is loaded.
    m_timer1->start();
}

void TfmMain::DBGrid1RowChanged(int row)
{
    if (!m_gridFollows || row < 0 || !m_topic.isOpen())
        return;
    if (row != m_topic.recNo())
        m_topic.moveTo(row);
}

void TfmMain::Timer1Timer()
{
    m_timer1->stop();
    if (!m_topic.isOpen() || m_topic.isEmpty())
        return;
    LoadArticle(m_topic.fieldByName("TOPIC_ID").asString());
}

void TfmMain::LoadArticle(const std::string &topicId)
{
    ++m_articleLoads;
    ArticleVisit visit{topicId, m_searchKeywords, 0, 0};
    QByteArray html;
    if (!buildArticle(visit, html))
        return; // no such topic: the view keeps its page
    rememberScroll();
    m_history.visit(std::move(visit));
    showArticle(html, std::nullopt);
}

bool TfmMain::WebBrowser1BeforeNavigate2(const QUrl &url)
{
    const TopicLink link = TopicLinkId(url.toString().toStdString());
    if (!link.isTopicLink)
        return false;
    if (!link.id.empty())
        LoadArticle(link.id);
    return true;
}

void TfmMain::applyGridColumnWidths()
{
    const QFontMetrics metrics(m_grid->font());
    const QFontMetrics titleMetrics(m_grid->horizontalHeader()->font());
    const int digit = metrics.horizontalAdvance(QLatin1Char('0'));
    m_grid->verticalHeader()->setDefaultSectionSize(metrics.height() + 4); // rows fit the chosen font
    for (int column = 0; column < TopicGridModel::ColumnCount; ++column) {
        const QString title = m_topicModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        m_grid->horizontalHeader()->resizeSection(
            column, std::max(TopicGridModel::widthInCharacters(column) * digit + 4, titleMetrics.horizontalAdvance(title) + 4));
    }
}

void TfmMain::ToolButton2Click()
{
    m_openDialogTitle = QStringLiteral("選擇資料庫來源MDB檔");
    if (!OpenArchive(m_archive, {}))
        return;
    // The next start opens this archive again, unless it is the start-up archive (or its converted file).
    const std::string chosen = m_archive.connectionText();
    const std::string startupMdb = dataSourceOf(startupConnectionText(m_options.programFolder));
    const std::string startupSqlite = std::filesystem::path(startupMdb).replace_extension(".sqlite").string();
    m_lastArchive = sameFile(chosen, startupMdb) || sameFile(chosen, startupSqlite) ? std::string() : chosen;
    BuildForumTree();
    writePlace();
}

void TfmMain::ToolButton7Click()
{
    m_webBrowser1->setUrl(QUrl(QString::fromStdString(m_forumBaseUrl + "velmpack/index.html")));
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

void TfmMain::ToolButton20Click()
{
    m_topic.first();
}

void TfmMain::ToolButton18Click()
{
    m_topic.prior();
}

void TfmMain::ToolButton19Click()
{
    m_topic.next();
}

void TfmMain::ToolButton21Click()
{
    m_topic.last();
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

QString TfmMain::statusText() const
{
    return m_statusText->text();
}

void TfmMain::setStatusText(const std::string &cp950)
{
    m_statusText->setText(qFromCp950(cp950));
}

bool TfmMain::eventFilter(QObject *watched, QEvent *event)
{
    return AppMessage(watched, event) || QMainWindow::eventFilter(watched, event);
}

bool TfmMain::AppMessage(QObject *watched, QEvent *event)
{
    if (!watched->isWidgetType())
        return false;
    if (readingEvent(watched, event))
        return true;
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
