#pragma once
// TfmMain: the one main window — forum tree, topic grid and article view — with its start-up and shut-down.
#include "archive/database.h"
#include "article/article_page.h"
#include "packages/http_client.h"
#include "search/search_host.h"
#include "shell_core/article_history.h"
#include "shell_core/layout.h"

#include <QMainWindow>
#include <QPointF>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QStackedWidget;
class QPlainTextEdit;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;

namespace velm {

class ArticleSchemeHandler;
class FindBar;
class CallbackImportHost;
class TFormProgress;
class TfmMainProbe;
class TopicGridModel;
class TSplitter;

struct StartupOptions {
    std::string programFolder; // with its trailing separator; UTF-8
    QStringList arguments;     // the command-line parameters after the program name
};

class TfmMain final : public QMainWindow, public SearchHost {
    Q_OBJECT
public:
    explicit TfmMain(StartupOptions options, QWidget *parent = nullptr);
    ~TfmMain() override;

    // The progress window exists only after the main window (program entry creates it next).
    void setProgressWindow(TFormProgress *progress) { m_progress = progress; }

    // Operations other parts of the program call.
    bool OpenArchive(Connection &connection, const std::string &connectionText);
    void BuildForumTree();

    // The topic list and the article view.
    void tvChange(QTreeWidgetItem *node);
    void ADOTopicAfterScroll();
    void Timer1Timer();
    void LoadArticle(const std::string &topicId);
    // Before every navigation of the article browser; true cancels it.
    bool WebBrowser1BeforeNavigate2(const QUrl &url);

    // SearchHost: the searches load their statements into ADOTopic.
    void changeTopicQuery(const std::function<void(Query &topic)> &change) override;
    // The status bar counts the topics found; the pages they open mark the keywords.
    void searchFound(const std::vector<std::string> &keywordsCp950) override;

    // Back and forward through the topics the article view showed; false when there is none that way. From a
    // page that is no topic's (the home page, an outside link), back shows the topic the user came from.
    bool goBack();
    bool goForward();
    // The article view's zoom: steps up (> 0) or down; 0 brings it back to 100%.
    void zoomArticle(int steps);
    // F3: the next place of the find bar's text, or of the search's first keyword.
    void findKeywordNext();

    // Toolbar commands.
    void ToolButton1Click();  // import a package file
    void ToolButton15Click(); // update packages from the network
    // The announcement pane as sender starts the update without the "up to date" box.
    void ToolButton15Click(QObject *sender);
    void ToolButton2Click();  // choose the archive file
    void ToolButton3Click();  // advanced search
    void ToolButton9Click();  // quick search
    void ToolButton11Click(); // web search
    void ToolButton13Click(); // preferences
    void ToolButton7Click();  // package home page
    void ToolButton14Click(); // full-screen toggle
    void ToolButton20Click(); // first row
    void ToolButton18Click(); // previous row
    void ToolButton19Click(); // next row
    void ToolButton21Click(); // last row
    void SpeedButton1Click(); // exit

    // The announcement pane: true cancels a navigation; a loaded demo page runs the version check.
    bool WebBrowserDemoBeforeNavigate2(const QUrl &url);
    void WebBrowserDemoDocumentComplete(const QUrl &url);
    // Progress reports of the HTTP client, for the progress window's bar.
    void IdHTTP1WorkBegin(std::int64_t total);
    void IdHTTP1Work(std::int64_t count);

    // SearchHost: StatusBar1's single text.
    void setStatusText(const std::string &cp950) override;

signals:
    // Emitted when the first-show steps are done (tests wait for it).
    void firstShowDone();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Tests look inside the window through it (testing/main_window_probe.h).
    friend class TfmMainProbe;

    void FormCreate();
    void FormShow();
    void FormClose();
    void buildLayout();
    void buildToolBar();
    void restoreLayout();
    // Once shown with its frame, a window that is not maximized is brought wholly onto its screen.
    void keepOnScreen();
    bool AppMessage(QObject *watched, QEvent *event);
    void Panel3Resize();
    void Panel4Resize();
    // The panes' set sizes, and the layout the next start restores.
    int panel4Width() const;
    int panel3Height() const;
    void setPanel4Width(int width);
    void setPanel3Height(int height);
    WindowLayout currentLayout() const;
    // The first-show import of a package named on the command line; true when the tree was built.
    bool importStartupPackage();
    void prepareArticleQueries();
    void DBGrid1RowChanged(int row);
    void applyGridColumnWidths();
    void fitAuthorColumn();
    // The tree's node of a forum, or null.
    QTreeWidgetItem *forumNode(std::int64_t forumId) const;
    // Lists a forum's topics in the grid.
    void listForum(std::int64_t forumId);
    // The tree and the list show the topic of the page just shown: its row, listing its forum when needed.
    void followShownTopic();
    // Runs a change of ADOTopic's text or parameters with the grid detached from it.
    void detachedTopicChange(const std::function<void()> &change);
    // The import's view of this window: status bar, progress window, tree.
    CallbackImportHost importHost(bool withTree);
    // The reading aids: history, find bar, zoom (main_window_reading.cpp).
    void buildReadingAids(QWidget *findBarParent);
    bool readingEvent(QObject *watched, QEvent *event);
    void showArticleMenu(const QPoint &position);
    bool canGoBack() const;
    bool moveInHistory(bool back);
    bool buildArticle(const ArticleVisit &visit, QByteArray &html);
    void showArticle(const QByteArray &html, std::optional<QPointF> scroll);
    void rememberScroll();
    void articleLoaded(bool ok);
    // Runs a command that writes into the archive (an import, the online update); the topic list then
    // shows what the archive holds.
    void changeArchive(const std::function<void()> &change);
    // The place the next start opens again: the chosen archive, the forum and the topic.
    bool openStartArchive(const std::string &startupText);
    // The caption names the open archive, and says when it is read-only.
    void showArchiveState();
    void restorePlace();
    void rememberForum(std::int64_t forumId);
    void rememberTopic(const std::string &topicId);
    void writePlace();
    // A page of the network that could not be reached gives way to a short local page saying so.
    void showOfflinePage(QWebEngineView *view, const QWebEngineLoadingInfo &loading);

    StartupOptions m_options;
    QString m_openDialogTitle;
    TFormProgress *m_progress = nullptr;
    std::vector<std::string> m_downloadMirrors;
    int m_savedPanel4Width = 0;
    int m_savedPanel3Height = 0;
    bool m_firstShow = true;
    bool m_shown = false;
    bool m_firstShowFinished = false;
    QUrl m_demoCheckWaiting;
    int m_treeBuilds = 0;
    std::int64_t m_currentForumId = 0;
    int m_topicQueries = 0;
    int m_articleLoads = 0;
    bool m_gridFollows = true;
    std::string m_forumBaseUrl;

    HttpClient m_idHTTP1;
    Connection m_archive{Connection::Mode::Archive};
    Connection m_package{Connection::Mode::Package};
    Query m_topic;
    ArticlePage m_article;

    QToolBar *m_toolBar = nullptr;
    QLineEdit *m_editSearch = nullptr;
    QWidget *m_panel1 = nullptr;
    QWidget *m_panel2 = nullptr;
    QWidget *m_panel3 = nullptr;
    QWidget *m_panel4 = nullptr;
    TSplitter *m_splitter1 = nullptr;
    TSplitter *m_splitter2 = nullptr;
    QTreeWidget *m_tv = nullptr;
    QTableView *m_grid = nullptr;
    QStackedWidget *m_pageControl = nullptr;
    QPlainTextEdit *m_memo = nullptr;
    QWebEngineProfile *m_profile = nullptr;
    QWebEngineView *m_webBrowser1 = nullptr;
    QWebEngineView *m_webBrowserDemo = nullptr;
    QLabel *m_statusText = nullptr;
    QTimer *m_timer1 = nullptr;
    TopicGridModel *m_topicModel = nullptr;
    ArticleSchemeHandler *m_articlePages = nullptr;

    ArticleHistory m_history;
    std::vector<std::string> m_searchKeywords; // UTF-8, marked by the pages of a search's topic list
    QUrl m_visitUrl;                           // the address the current visit's page is served at
    bool m_showingVisit = false;               // the view shows the current visit, no other page
    std::optional<QPointF> m_scrollAfterLoad;  // where a page shown again is scrolled to once loaded
    double m_articleZoom = 1.0;
    FindBar *m_findBar = nullptr;

    std::string m_lastArchive; // the archive the user chose (a path, UTF-8); empty for the start-up archive
    std::int64_t m_lastForumId = 0;
    std::string m_lastTopicId;
    bool m_demoOfflinePage = false; // the demo pane is about to load the local offline page
};

// The design caption followed by the program version.
QString MainCaption();

} // namespace velm
