// The bookmarks (我的最愛): a tab beside the forum tree lists them archive by archive; Ctrl+D and the context
// menus add and remove them.
#include "shell/main_window.h"

#include "archive/forum_text.h"
#include "base/cp950.h"
#include "base/error.h"
#include "shell/topic_model.h"
#include "shell_widgets/messages.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEngineView>

namespace velm {
namespace {

// What a bookmark's item of the list carries.
enum BookmarkRole { ArchiveRole = Qt::UserRole, KindRole, IdRole, PathRole, TitleRole };

std::optional<Bookmark> bookmarkOf(const QTreeWidgetItem *item)
{
    if (!item || !item->data(0, IdRole).isValid())
        return std::nullopt;
    return Bookmark{item->data(0, ArchiveRole).toLongLong(), static_cast<BookmarkKind>(item->data(0, KindRole).toInt()),
                    item->data(0, IdRole).toLongLong(), item->data(0, TitleRole).toString().toStdString(),
                    item->data(0, PathRole).toString().toStdString()};
}

QTreeWidgetItem *forumItem(QTreeWidget *tree, std::int64_t forumId)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toLongLong() == forumId)
            return *it;
    return nullptr;
}

} // namespace

QWidget *TfmMain::buildTreeTabs(QWidget *parent)
{
    m_treeTabs = new QTabWidget(parent);
    m_treeTabs->setObjectName("TreeTabs");
    m_treeTabs->setTabPosition(QTabWidget::South);
    m_treeTabs->setDocumentMode(true);
    // The tab bar must not make the window larger than the smallest one it allows without the tabs.
    m_treeTabs->setMinimumSize(1, 1);
    m_treeTabs->addTab(m_tv, QStringLiteral("討論區"));
    m_bookmarkList = new QTreeWidget(m_treeTabs);
    m_bookmarkList->setObjectName("BookmarkList");
    m_bookmarkList->setHeaderHidden(true);
    m_bookmarkList->setColumnCount(1);
    m_bookmarkList->setIndentation(15);
    m_bookmarkList->header()->setStretchLastSection(false);
    m_bookmarkList->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_bookmarkList->setPalette(m_tv->palette());
    m_bookmarkList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_treeTabs->addTab(m_bookmarkList, QStringLiteral("我的最愛"));
    // Opening may open another archive, which lists the bookmarks anew: the list's own signal is over by then.
    const auto open = [this](const Bookmark &b) {
        QTimer::singleShot(0, this, [this, b] { guarded([&] { openBookmark(b); }); });
    };
    connect(m_bookmarkList, &QTreeWidget::itemActivated, this, [open](QTreeWidgetItem *item) {
        if (const std::optional<Bookmark> b = bookmarkOf(item))
            open(*b);
    });
    connect(m_bookmarkList, &QWidget::customContextMenuRequested, this, [this, open](const QPoint &position) {
        const std::optional<Bookmark> b = bookmarkOf(m_bookmarkList->itemAt(position));
        if (!b)
            return;
        auto *menu = new QMenu(m_bookmarkList);
        menu->setObjectName("BookmarkMenu");
        menu->setAttribute(Qt::WA_DeleteOnClose);
        connect(menu->addAction(QStringLiteral("開啟")), &QAction::triggered, this, [open, b] { open(*b); });
        connect(menu->addAction(QStringLiteral("從我的最愛移除")), &QAction::triggered, this, [this, b] {
            guarded([&] {
                if (!m_store)
                    raiseUtf8("讀者資料檔無法使用，這項功能暫停");
                m_store->removeBookmark(b->archive, b->kind, b->id);
                refreshBookmarks();
            });
        });
        menu->popup(m_bookmarkList->viewport()->mapToGlobal(position));
    });
    return m_treeTabs;
}

void TfmMain::refreshBookmarks()
{
    m_bookmarkList->clear();
    if (!m_store)
        return;
    QTreeWidgetItem *group = nullptr;
    for (const Bookmark &b : m_store->bookmarks()) {
        const bool open = m_archiveKey && b.archive == *m_archiveKey && m_archive.connected();
        if (!group || group->data(0, ArchiveRole).toLongLong() != b.archive) {
            const QFileInfo file(QString::fromStdString(b.archivePath));
            group = new QTreeWidgetItem(m_bookmarkList);
            group->setText(0, open ? file.fileName() + QStringLiteral("（開啟中）") : file.fileName());
            group->setToolTip(0, file.absoluteFilePath());
            group->setData(0, ArchiveRole, QVariant::fromValue<qlonglong>(b.archive));
        }
        QString text = QString::fromStdString(b.title);
        if (b.kind == BookmarkKind::Forum)
            text = QStringLiteral("［討論區］") + text;
        // Only the archive open can tell what is gone from it.
        const bool gone =
            open && (b.kind == BookmarkKind::Topic ? !TopicState(m_archive.handle(), b.id) : !forumItem(m_tv, b.id));
        if (gone)
            text += QStringLiteral("（已不存在）");
        auto *item = new QTreeWidgetItem(group);
        item->setText(0, text);
        if (gone)
            item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
        item->setData(0, ArchiveRole, QVariant::fromValue<qlonglong>(b.archive));
        item->setData(0, KindRole, static_cast<int>(b.kind));
        item->setData(0, IdRole, QVariant::fromValue<qlonglong>(b.id));
        item->setData(0, PathRole, QString::fromStdString(b.archivePath));
        item->setData(0, TitleRole, QString::fromStdString(b.title));
    }
    m_bookmarkList->expandAll();
}

void TfmMain::openBookmark(const Bookmark &b)
{
    if (!m_archiveKey || b.archive != *m_archiveKey) {
        if (!QFileInfo::exists(QString::fromStdString(b.archivePath))) {
            ShowMessage(Big5Text::fromUtf8("找不到這個最愛所在的資料庫: " + b.archivePath));
            return;
        }
        openArchiveAt(b.archivePath);
    }
    const std::int64_t id = b.id;
    const std::string &title = b.title;
    if (b.kind == BookmarkKind::Forum) {
        QTreeWidgetItem *forum = forumItem(m_tv, id);
        if (!forum) {
            ShowMessage(Big5Text::fromUtf8("這個討論區已不在資料庫中: " + title));
            return;
        }
        m_tv->setCurrentItem(forum);
        return;
    }
    const std::optional<TopicNow> topic = TopicState(m_archive.handle(), id);
    if (!topic) {
        ShowMessage(Big5Text::fromUtf8("這篇主題已不在資料庫中: " + title));
        return;
    }
    // Its forum is listed with the topic as the current row, whose page then follows as a click's would.
    if (QTreeWidgetItem *forum = forumItem(m_tv, topic->forumId)) {
        m_tv->setCurrentItem(forum);
        m_tv->scrollToItem(forum);
        if (m_currentForumId == topic->forumId && m_topic.isOpen() && m_topic.locate("TOPIC_ID", Value::integer(id)))
            return;
    }
    LoadArticle(std::to_string(id));
}

bool TfmMain::setBookmark(BookmarkKind kind, std::int64_t id, const std::string &title, bool on)
{
    if (on)
        store()->addBookmark(*m_archiveKey, kind, id, title);
    else
        store()->removeBookmark(*m_archiveKey, kind, id);
    refreshBookmarks();
    return on;
}

std::string TfmMain::topicSubject(std::int64_t topicId)
{
    Query topic(&m_archive);
    topic.setSql("select T_SUBJECT,T_CODESYSTEM from FORUM_TOPICS where TOPIC_ID=" + std::to_string(topicId));
    topic.open();
    if (topic.isEmpty())
        return std::to_string(topicId);
    return fromCp950(SubjectText(topic.fieldByName("T_SUBJECT").asString(), topic.fieldByName("T_CODESYSTEM").value()));
}

void TfmMain::toggleBookmark()
{
    const std::int64_t id = shownTopicId();
    if (id <= 0) {
        setStatusText(toCp950("沒有顯示中的主題"));
        return;
    }
    const bool on = !store()->isBookmarked(*m_archiveKey, BookmarkKind::Topic, id);
    setBookmark(BookmarkKind::Topic, id, on ? topicSubject(id) : std::string(), on);
    setStatusText(toCp950(on ? "已加入我的最愛" : "已從我的最愛移除"));
}

} // namespace velm
