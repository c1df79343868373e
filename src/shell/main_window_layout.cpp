// The main window's panes, splitters, toolbar and status bar.
#include "shell/main_window.h"

#include "settings/settings.h"
#include "shell/article_view.h"
#include "shell/find_bar.h"
#include "shell/splitter.h"
#include "shell/topic_model.h"
#include "shell_widgets/localization.h"
#include "shell_widgets/messages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBoxLayout>
#include <QCompleter>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace velm {
namespace {

// The 13 toolbar images, by their index.
QIcon toolbarImage(int index)
{
    static constexpr QStyle::StandardPixmap kImages[13] = {
        QStyle::SP_DialogOpenButton,       // 0 choose archive
        QStyle::SP_ArrowDown,              // 1 import package
        QStyle::SP_FileDialogContentsView, // 2 advanced search
        QStyle::SP_DirHomeIcon,            // 3 home page
        QStyle::SP_FileDialogInfoView,     // 4 quick search
        QStyle::SP_DriveNetIcon,           // 5 web search
        QStyle::SP_FileDialogDetailedView, // 6 preferences
        QStyle::SP_BrowserReload,          // 7 update from the network
        QStyle::SP_TitleBarMaxButton,      // 8 full screen
        QStyle::SP_MediaSkipBackward,      // 9 first
        QStyle::SP_MediaSeekBackward,      // 10 previous
        QStyle::SP_MediaSeekForward,       // 11 next
        QStyle::SP_MediaSkipForward,       // 12 last
    };
    return QApplication::style()->standardIcon(kImages[index]);
}

QWidget *gap(int width)
{
    auto *spacer = new QWidget;
    spacer->setFixedWidth(width);
    return spacer;
}

// A pane whose set size is its largest: it has that size where the window has room for it and gives way
// where it has not, so a pane never makes the window larger than the screen.
class Pane final : public QFrame {
public:
    explicit Pane(QWidget *parent) : QFrame(parent) {}
    QSize sizeHint() const override
    {
        QSize hint = QFrame::sizeHint();
        if (maximumWidth() < QWIDGETSIZE_MAX)
            hint.setWidth(maximumWidth());
        if (maximumHeight() < QWIDGETSIZE_MAX)
            hint.setHeight(maximumHeight());
        return hint;
    }
};

QWebEngineView *makeBrowser(QWebEnginePage *page, const char *name, QWidget *parent)
{
    auto *view = new QWebEngineView(parent);
    view->setObjectName(name);
    page->setParent(view);
    view->setPage(page);
    // Neither browser takes the focus with the Tab key.
    view->setFocusPolicy(Qt::ClickFocus);
    return view;
}

} // namespace

void TfmMain::buildToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName("ToolBar1");
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    struct Button {
        const char *name;
        const char *hint;
        int image;
        void (TfmMain::*handler)();
        int gapAfter;
    };
    const Button buttons[] = {
        {"ToolButton2", "開啟主資料庫來源", 0, &TfmMain::ToolButton2Click, 8},
        {"ToolButton1", "匯入補充包新資料", 1, &TfmMain::ToolButton1Click, 0},
        {"ToolButton15", "從網路更新補充包", 7, &TfmMain::ToolButton15Click, 8},
        {"ToolButton3", "進階搜尋離線包文章", 2, &TfmMain::ToolButton3Click, 8},
        {"ToolButton11", "搜詢網際網路上所有程式設計相關文章", 5, &TfmMain::ToolButton11Click, 8},
        {"ToolButton13", "使用設定", 6, &TfmMain::ToolButton13Click, 13},
        {"ToolButton7", "Velm下載包首頁", 3, &TfmMain::ToolButton7Click, 19},
        {"ToolButton14", "全螢幕切換", 8, &TfmMain::ToolButton14Click, 17},
        {"ToolButton20", "首筆", 9, &TfmMain::ToolButton20Click, 0},
        {"ToolButton18", "上一筆", 10, &TfmMain::ToolButton18Click, 0},
        {"ToolButton19", "下一筆", 11, &TfmMain::ToolButton19Click, 0},
        {"ToolButton21", "末筆", 12, &TfmMain::ToolButton21Click, 16},
    };
    for (const Button &b : buttons) {
        auto *button = new QToolButton(m_toolBar);
        button->setObjectName(b.name);
        button->setToolTip(QString::fromUtf8(b.hint));
        button->setIcon(toolbarImage(b.image));
        button->setAutoRaise(true);
        if (b.handler)
            connect(button, &QToolButton::clicked, this, [this, h = b.handler] { guarded([&] { (this->*h)(); }); });
        m_toolBar->addWidget(button);
        if (b.gapAfter)
            m_toolBar->addWidget(gap(b.gapAfter));
    }

    m_editSearch = new QLineEdit(m_toolBar);
    m_editSearch->setObjectName("EditSearch");
    m_editSearch->setToolTip(QStringLiteral("於此輸入查詢鍵詞"));
    m_editSearch->setFixedWidth(121);
    // Chinese input is expected here; the input method follows this hint where it can.
    m_editSearch->setInputMethodHints(Qt::ImhNone);
    m_toolBar->addWidget(m_editSearch);
    connect(m_editSearch, &QLineEdit::returnPressed, this, [this] {
        // Enter on a chosen suggestion opens that topic instead.
        if (m_suggestions->popup()->isVisible() && m_suggestions->popup()->currentIndex().isValid())
            return;
        guarded([this] { ToolButton9Click(); });
    });

    auto *quickSearch = new QToolButton(m_toolBar);
    quickSearch->setObjectName("ToolButton9");
    quickSearch->setToolTip(QStringLiteral("快速搜尋離線包文章"));
    quickSearch->setIcon(toolbarImage(4));
    quickSearch->setAutoRaise(true);
    connect(quickSearch, &QToolButton::clicked, this, [this] { guarded([this] { ToolButton9Click(); }); });
    m_toolBar->addWidget(quickSearch);
    m_toolBar->addWidget(gap(14));

    auto *exit = new QToolButton(m_toolBar);
    exit->setObjectName("SpeedButton1");
    exit->setText(QStringLiteral("離開(&X)"));
    exit->setToolTip(QStringLiteral("結束程式"));
    exit->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogCloseButton));
    exit->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    exit->setMinimumWidth(68);
    exit->setAutoRaise(true);
    connect(exit, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    m_toolBar->addWidget(exit);
}

void TfmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // The grid's style sheet keeps it from following the window's font by itself: the font chosen at start
    // or in the preferences is handed on, and the rows and columns are laid out for it.
    if (event->type() == QEvent::FontChange && m_grid && m_grid->font() != font()) {
        m_grid->setFont(font());
        applyGridColumnWidths();
    }
}

void TfmMain::buildLayout()
{
    resize(662, 502);
    move(201, 131);
    buildToolBar();

    m_panel1 = new QFrame(this);
    m_panel1->setObjectName("Panel1");
    static_cast<QFrame *>(m_panel1)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setCentralWidget(m_panel1);
    auto *outer = new QVBoxLayout(m_panel1);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);
    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    outer->addLayout(body, 1);

    m_profile = new QWebEngineProfile(this); // off the record: nothing of the user's is written
    // The engine's sans-serif is an installed face, not whatever its own default would pick.
    if (const QString sans = installedSansFamily(); !sans.isEmpty())
        m_profile->settings()->setFontFamily(QWebEngineSettings::SansSerifFont, sans);

    auto *treePane = new Pane(m_panel1);
    m_panel4 = treePane;
    m_panel4->setObjectName("Panel4");
    treePane->setFrameStyle(QFrame::Box | QFrame::Plain);
    treePane->setLineWidth(1);
    m_panel4->setMinimumWidth(1);
    m_panel4->setMaximumWidth(168);
    auto *treeColumn = new QVBoxLayout(m_panel4);
    treeColumn->setContentsMargins(0, 0, 0, 0);
    treeColumn->setSpacing(0);
    m_tv = new QTreeWidget(m_panel4);
    m_tv->setObjectName("tv");
    m_tv->setHeaderHidden(true);
    m_tv->setColumnCount(1);
    m_tv->setIndentation(15);
    m_tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tv->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tv->setAllColumnsShowFocus(true);
    // The column is as wide as its longest name, so a name is never cut short: a pane too narrow for it
    // scrolls sideways instead.
    m_tv->header()->setStretchLastSection(false);
    m_tv->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_tv->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette treePalette = m_tv->palette();
    treePalette.setColor(QPalette::Base, QColor(255, 255, 215));
    // The selection stays visible when the tree loses the focus.
    treePalette.setColor(QPalette::Inactive, QPalette::Highlight,
                         treePalette.color(QPalette::Active, QPalette::Highlight));
    treePalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         treePalette.color(QPalette::Active, QPalette::HighlightedText));
    m_tv->setPalette(treePalette);
    treeColumn->addWidget(buildTreeTabs(m_panel4), 1);
    auto *demoPage = new ArticleWebPage(m_profile);
    demoPage->setBeforeNavigate([this](const QUrl &url) {
        bool cancel = false;
        guarded([&] { cancel = WebBrowserDemoBeforeNavigate2(url); });
        return cancel;
    });
    m_webBrowserDemo = makeBrowser(demoPage, "WebBrowserDemo", m_panel4);
    m_webBrowserDemo->setFixedHeight(60);
    connect(m_webBrowserDemo, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok)
            guarded([this] { WebBrowserDemoDocumentComplete(m_webBrowserDemo->url()); });
    });
    connect(
        m_webBrowserDemo->page(), &QWebEnginePage::loadingChanged, this,
        [this](const QWebEngineLoadingInfo &loading) { guarded([&] { showOfflinePage(m_webBrowserDemo, loading); }); });
    treeColumn->addWidget(m_webBrowserDemo);
    body->addWidget(m_panel4);

    // A drag starts from the size the pane is shown at, which is less than its set size in a small window.
    m_splitter1 = new TSplitter(
        Qt::Vertical, [this] { return m_panel4->width(); }, [this](int w) { setPanel4Width(w); }, m_panel1);
    m_splitter1->setObjectName("Splitter1");
    body->addWidget(m_splitter1);

    m_panel2 = new QWidget(m_panel1);
    m_panel2->setObjectName("Panel2");
    auto *right = new QVBoxLayout(m_panel2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    body->addWidget(m_panel2, 1);

    m_panel3 = new Pane(m_panel2);
    m_panel3->setObjectName("Panel3");
    m_panel3->setMinimumHeight(1);
    m_panel3->setMaximumHeight(176);
    auto *gridBox = new QVBoxLayout(m_panel3);
    gridBox->setContentsMargins(0, 0, 0, 0);
    m_grid = new QTableView(m_panel3);
    m_grid->setObjectName("DBGrid1");
    m_topicModel = new TopicGridModel(m_topic, this);
    m_grid->setModel(m_topicModel);
    m_grid->setShowGrid(true);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
    m_grid->verticalHeader()->setFixedWidth(14);
    m_grid->horizontalHeader()->setHighlightSections(false);
    // The whole current row stays highlighted when the grid has no focus.
    m_grid->setStyleSheet(QStringLiteral("QTableView { selection-background-color: palette(highlight); "
                                         "selection-color: palette(highlighted-text); }"));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette gridPalette = m_grid->palette();
    gridPalette.setColor(QPalette::Base, QColor(215, 215, 255));
    m_grid->setPalette(gridPalette);
    gridBox->addWidget(m_grid);
    right->addWidget(m_panel3);

    m_splitter2 = new TSplitter(
        Qt::Horizontal, [this] { return m_panel3->height(); }, [this](int h) { setPanel3Height(h); }, m_panel2);
    m_splitter2->setObjectName("Splitter2");
    right->addWidget(m_splitter2);

    m_pageControl = new QStackedWidget(m_panel2);
    m_pageControl->setObjectName("PageControl1");
    m_articlePages = new ArticleSchemeHandler(this);
    m_profile->installUrlSchemeHandler("velm-article", m_articlePages);
    auto *articlePage = new ArticleWebPage(m_profile);
    // Posts are shown as written: nothing in them runs, navigates, loads frames or fetches more than pictures.
    articlePage->keepToOwnNavigations();
    articlePage->setShowPictures(ShowPictures());
    articlePage->setBeforeNavigate([this](const QUrl &url) {
        bool cancel = false;
        guarded([&] { cancel = WebBrowser1BeforeNavigate2(url); });
        return cancel;
    });
    m_webBrowser1 = makeBrowser(articlePage, "WebBrowser1", m_pageControl);
    m_pageControl->addWidget(m_webBrowser1);
    connect(m_webBrowser1->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &loading) {
        guarded([&] { showOfflinePage(m_webBrowser1, loading); });
    });
    m_memo = new QPlainTextEdit(m_pageControl);
    m_memo->setObjectName("Memo1");
    m_pageControl->addWidget(m_memo);
    right->addWidget(m_pageControl, 1);
    buildReadingAids(m_panel2);
    right->addWidget(m_findBar);

    auto *statusBar = new QStatusBar(m_panel1);
    statusBar->setObjectName("StatusBar1");
    statusBar->setFixedHeight(19);
    statusBar->setSizeGripEnabled(false);
    m_statusText = new QLabel(statusBar);
    statusBar->addWidget(m_statusText, 1);
    outer->addWidget(statusBar);
    buildSearchAids();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName("Timer1");
    m_timer1->setSingleShot(true);
    m_timer1->setInterval(250);
    connect(m_timer1, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });
    connect(m_tv, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { guarded([&] { tvChange(item); }); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { guarded([&] { DBGrid1RowChanged(current.row()); }); });
    m_topic.setAfterScroll([this] { ADOTopicAfterScroll(); });
    buildKeepingTools();
}

} // namespace velm
