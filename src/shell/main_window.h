#pragma once
// TfmMain: the one main window — forum tree, topic grid and article view — with its start-up and shut-down.
#include "archive/database.h"
#include "article/article_page.h"
#include "packages/http_client.h"
#include "search/search_host.h"
#include "search/search_worker.h"
#include "search/topic_search.h"
#include "shell_core/article_history.h"
#include "shell_core/layout.h"
#include "textindex/index_builder.h"
#include "store/read_marks.h"
#include "store/reader_store.h"

#include <QMainWindow>
#include <QPointF>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class QCompleter;
class QLabel;
class QStandardItemModel;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QPlainTextEdit;
class QPrinter;
class QTabWidget;
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
    // Searches run on a thread of their own; their rows fill ADOTopic as they come (main_window_search.cpp).
    void runTopicSearch(const TopicSearch &search, const std::function<void(bool found)> &finished) override;
    void cancelTopicSearch() override;
    bool searchRunning() const { return m_searchRunning; }
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

    // What the reader keeps of its own (main_window_keep.cpp and the files beside it).
    // A package handed over by another start of the program or dropped on the window: imported as the
    // toolbar imports a chosen one, once no dialog is open.
    void importHandedPackage(const QString &path);
    // Ctrl+D: the shown topic into the bookmarks, or out of them.
    void toggleBookmark();
    // N, or Space at the page's end: the next unread topic of the list, then of the next forums.
    void goToNextUnread();
    // Ctrl+S, Ctrl+P and 另存為 PDF: the shown topic as one UTF-8 page, on paper, or as a PDF file.
    void saveArticle();
    void printArticle();
    void saveArticlePdf();

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
    // The searches' threads, the index built in the background and the suggestions (main_window_search.cpp).
    void buildSearchAids();
    void startIndexBuild();
    // Stops a search without a word in the status bar; true when one was running.
    bool stopSearch();
    // Before the archive closes: its searches, suggestions and build stop and let go of its file.
    void stopArchiveWork();
    void searchRowsArrived(std::uint64_t generation, TopicRows &block);
    void searchEnded(std::uint64_t generation);
    void searchFailed(std::uint64_t generation, const std::string &utf8);
    void EditSearchChange(const QString &text);
    void showSuggestions(std::uint64_t generation, const std::vector<std::pair<std::int64_t, QString>> &topics);
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

    // A search under way: the rows that come for another generation are dropped.
    std::unique_ptr<SearchWorker> m_searchWorker;
    std::unique_ptr<SearchWorker> m_suggestionWorker;
    std::unique_ptr<textindex::IndexBuilder> m_indexBuilder;
    std::uint64_t m_searchGeneration = 0;
    bool m_searchRunning = false;
    TopicSearch::Kind m_searchKind = TopicSearch::Kind::Quick;
    std::function<void(bool found)> m_searchFinished;
    std::uint64_t m_suggestionGeneration = 0;
    QCompleter *m_suggestions = nullptr;
    QStandardItemModel *m_suggestionModel = nullptr;
    QLabel *m_indexStatus = nullptr;
    // What the reader keeps: the store, the archive's identity in it, its read marks and unread counts.
    void openStore();
    void showStoreNotice();
    ReaderStore *store();
    void archiveShown();
    std::string keptArchivePath() const;
    void refreshUnread();
    void countUnread();
    void takeUnreadCounts();
    void articleShown();
    // The TOPIC_ID of the topic the view shows; 0 while it shows none.
    std::int64_t shownTopicId() const;
    void markShownRead();
    void markRead(const std::vector<TopicMark> &marks);
    void markForumsRead(const std::vector<std::int64_t> &forums);
    bool atPageEnd() const;
    bool keepingEvent(QObject *watched, QEvent *event);
    bool listUnreadFrom(int row);
    QWidget *buildTreeTabs(QWidget *parent);
    void refreshBookmarks();
    void openBookmark(const Bookmark &bookmark);
    bool setBookmark(BookmarkKind kind, std::int64_t id, const std::string &title, bool on);
    std::string topicSubject(std::int64_t topicId);
    void buildKeepingTools();
    void fillRecentArchives(QMenu *menu);
    void openArchiveAt(const std::string &path);
    void archiveChosen();
    void importPackageFile(const std::string &path);
    void importHandedPackages();
    void sortTopicList(int column);
    void showTreeMenu(const QPoint &position);
    void showListMenu(const QPoint &position);
    QString topicLink(std::int64_t topicId) const;
    std::optional<std::string> askSaveFile(const QString &title, const QString &name, const QString &filter);

    std::optional<ReaderStore> m_store;
    std::string m_storeNotice;              // said once the window is up
    std::optional<ArchiveKey> m_archiveKey; // the open archive in the store
    std::string m_keptArchive;              // the archive the marks were read for
    ReadMarks m_readMarks;
    std::unordered_map<std::int64_t, std::int64_t> m_unreadCounts; // by FORUM_ID
    std::size_t m_marksCountedAtOnce;                              // more are counted on a thread of their own
    std::uint64_t m_marksChanged = 0;                              // marks written by this window so far
    std::future<std::unordered_map<std::int64_t, std::int64_t>> m_counting; // waited for when the window goes
    std::uint64_t m_countingFrom = 0;                                       // m_marksChanged when that count began
    QTimer *m_countingDone = nullptr;
    QTimer *m_readTimer = nullptr;                                 // a topic shown this long is read
    QTabWidget *m_treeTabs = nullptr;
    QTreeWidget *m_bookmarkList = nullptr;
    QToolButton *m_saveButton = nullptr;
    std::vector<QString> m_handedPackages;
    QTimer *m_handedRetry = nullptr;
    bool m_importing = false;
    std::string m_sortBaseSql; // the list's own statement while it is sorted by a column
    std::string m_sortedSql;
    int m_sortColumn = -1;
    bool m_sortDescending = false;
    std::shared_ptr<QPrinter> m_printer; // alive until the page is printed
    QString m_saveFolder;
};

// The design caption followed by the program version.
QString MainCaption();

} // namespace velm
