// The commands of what the reader keeps: their keys, the save button, the recent archives under the open
// button, the list's sortable headers, the context menus, and packages dropped on the window.
#include "shell/main_window.h"

#include "base/cp950.h"
#include "shell/topic_model.h"
#include "shell_widgets/messages.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace velm {

void TfmMain::buildKeepingTools()
{
    const auto command = [this](const char *name, const QString &text, const QKeySequence &key, auto handler) {
        auto *action = new QAction(text, this);
        action->setObjectName(name);
        if (!key.isEmpty())
            action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [handler] { guarded([&] { handler(); }); });
        addAction(action);
        return action;
    };
    command("ToggleBookmark", QStringLiteral("加入/移除我的最愛"), QKeySequence(Qt::CTRL | Qt::Key_D),
            [this] { toggleBookmark(); });
    command("NextUnread", QStringLiteral("下一篇未讀"), QKeySequence(Qt::Key_N), [this] { goToNextUnread(); });
    QAction *save = command("SaveArticle", QStringLiteral("另存新檔..."), QKeySequence(Qt::CTRL | Qt::Key_S),
                            [this] { saveArticle(); });
    QAction *print = command("PrintArticle", QStringLiteral("列印..."), QKeySequence(Qt::CTRL | Qt::Key_P),
                             [this] { printArticle(); });
    QAction *pdf = command("SaveArticlePdf", QStringLiteral("另存為 PDF..."),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { saveArticlePdf(); });

    // Beside the package home page: the page shown, kept outside.
    m_saveButton = new QToolButton(m_toolBar);
    m_saveButton->setObjectName("ToolButtonSave");
    m_saveButton->setToolTip(QStringLiteral("儲存或列印這篇文章"));
    m_saveButton->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_saveButton->setAutoRaise(true);
    m_saveButton->setPopupMode(QToolButton::InstantPopup);
    auto *saveMenu = new QMenu(m_saveButton);
    saveMenu->setObjectName("SaveMenu");
    saveMenu->addActions({save, print, pdf});
    m_saveButton->setMenu(saveMenu);
    const QList<QAction *> tools = m_toolBar->actions();
    for (qsizetype i = 0; i < tools.size(); ++i)
        if (m_toolBar->widgetForAction(tools[i]) == m_toolBar->findChild<QWidget *>("ToolButton7")) {
            m_toolBar->insertWidget(i + 1 < tools.size() ? tools[i + 1] : nullptr, m_saveButton);
            break;
        }

    auto *open = m_toolBar->findChild<QToolButton *>("ToolButton2");
    open->setPopupMode(QToolButton::MenuButtonPopup);
    auto *recent = new QMenu(open);
    recent->setObjectName("RecentArchives");
    connect(recent, &QMenu::aboutToShow, this, [this, recent] { guarded([&] { fillRecentArchives(recent); }); });
    open->setMenu(recent);

    connect(m_webBrowser1, &QWebEngineView::printFinished, this, [this](bool ok) {
        m_printer.reset();
        setStatusText(toCp950(ok ? "列印完成" : "列印失敗"));
    });
    connect(m_webBrowser1->page(), &QWebEnginePage::pdfPrintingFinished, this, [this](const QString &file, bool ok) {
        if (ok)
            setStatusText(toCp950("已儲存 " + file.toStdString()));
        else
            ShowError("無法寫入 PDF 檔 " + file.toStdString());
    });

    QHeaderView *header = m_grid->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { guarded([&] { sortTopicList(column); }); });
    // A list the user did not sort by a column shows in its own order.
    connect(m_topicModel, &QAbstractItemModel::modelReset, this, [this, header] {
        if (m_topic.sql() != m_sortedSql || m_sortedSql.empty()) {
            m_sortColumn = -1;
            m_sortedSql.clear();
            header->setSortIndicatorShown(false);
        }
    });

    m_tv->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tv, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { guarded([&] { showTreeMenu(position); }); });
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { guarded([&] { showListMenu(position); }); });
    setAcceptDrops(true);
}

void TfmMain::fillRecentArchives(QMenu *menu)
{
    menu->clear();
    const std::vector<std::string> paths = m_store ? m_store->recentArchives() : std::vector<std::string>();
    if (paths.empty())
        menu->addAction(QStringLiteral("（沒有最近開啟的資料庫）"))->setEnabled(false);
    for (const std::string &path : paths) {
        const QFileInfo file(QString::fromStdString(path));
        const bool missing = !file.isFile();
        QString text = file.fileName() + QStringLiteral("　") + file.absolutePath();
        text.replace('&', QStringLiteral("&&"));
        if (missing)
            text += QStringLiteral("（找不到，按此移除）");
        QAction *action = menu->addAction(text);
        action->setToolTip(file.absoluteFilePath());
        // After the menu has closed: opening shows its own windows.
        connect(action, &QAction::triggered, this, [this, path, missing] {
            QTimer::singleShot(0, this, [this, path, missing] {
                guarded([&] {
                    if (!missing) {
                        openArchiveAt(path);
                    } else if (AskYesNo(
                                   Big5Text::fromUtf8("找不到資料庫 " + path + "，要從最近開啟的清單中移除嗎？"))) {
                        m_store->forgetArchive(path);
                    }
                });
            });
        });
    }
}

void TfmMain::openArchiveAt(const std::string &path)
{
    if (OpenArchive(m_archive, path))
        archiveChosen();
}

} // namespace velm
