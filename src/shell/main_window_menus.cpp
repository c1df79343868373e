// The context menus of the forum tree and the topic list, and the list sorted by a clicked column header.
#include "shell/main_window.h"

#include "base/cp950.h"
#include "shell/topic_model.h"
#include "shell_core/topic_order.h"
#include "shell_widgets/messages.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QTreeWidget>

namespace velm {
namespace {

std::vector<std::int64_t> forumsUnder(const QTreeWidgetItem *node)
{
    std::vector<std::int64_t> forums;
    if (const std::int64_t forumId = node->data(0, Qt::UserRole).toLongLong(); forumId > 0)
        forums.push_back(forumId);
    for (int i = 0; i < node->childCount(); ++i)
        for (std::int64_t forumId : forumsUnder(node->child(i)))
            forums.push_back(forumId);
    return forums;
}

QMenu *contextMenu(QWidget *parent, const char *name)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(name);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    return menu;
}

} // namespace

QString TfmMain::topicLink(std::int64_t topicId) const
{
    // The address the page's own source link names.
    return QString::fromStdString(m_forumBaseUrl) + QStringLiteral("topic.asp?topic_Id=") + QString::number(topicId);
}

void TfmMain::showTreeMenu(const QPoint &position)
{
    QTreeWidgetItem *node = m_tv->itemAt(position);
    if (!node)
        return;
    const std::int64_t forumId = node->data(0, Qt::UserRole).toLongLong();
    const std::vector<std::int64_t> forums = forumsUnder(node);
    const QString name = node->text(0);
    QMenu *menu = contextMenu(m_tv, "TreeMenu");
    connect(menu->addAction(QStringLiteral("開啟")), &QAction::triggered, this, [this, node] {
        if (node->childCount() > 0 && node->data(0, Qt::UserRole).toLongLong() <= 0)
            node->setExpanded(!node->isExpanded());
        m_tv->setCurrentItem(node);
    });
    QAction *allRead = menu->addAction(QStringLiteral("全部標為已讀"));
    allRead->setEnabled(m_archiveKey && !forums.empty());
    connect(allRead, &QAction::triggered, this, [this, forums] { guarded([&] { markForumsRead(forums); }); });
    const bool bookmarked =
        forumId > 0 && m_store && m_archiveKey && m_store->isBookmarked(*m_archiveKey, BookmarkKind::Forum, forumId);
    QAction *favourite =
        menu->addAction(bookmarked ? QStringLiteral("從我的最愛移除") : QStringLiteral("加入我的最愛"));
    favourite->setEnabled(forumId > 0 && m_archiveKey);
    connect(favourite, &QAction::triggered, this, [this, forumId, name, bookmarked] {
        guarded([&] { setBookmark(BookmarkKind::Forum, forumId, name.toStdString(), !bookmarked); });
    });
    QAction *link = menu->addAction(QStringLiteral("複製連結"));
    link->setEnabled(forumId > 0);
    connect(link, &QAction::triggered, this, [this, forumId] {
        QGuiApplication::clipboard()->setText(QString::fromStdString(m_forumBaseUrl) +
                                              QStringLiteral("forum.asp?FORUM_ID=") + QString::number(forumId));
    });
    menu->popup(m_tv->viewport()->mapToGlobal(position));
}

void TfmMain::showListMenu(const QPoint &position)
{
    const int row = m_grid->indexAt(position).row();
    const std::int64_t topicId = m_topicModel->topicIdAt(row);
    if (row < 0 || topicId <= 0)
        return;
    const QString subject = m_topicModel->index(row, TopicGridModel::Subject).data().toString();
    QMenu *menu = contextMenu(m_grid, "ListMenu");
    connect(menu->addAction(QStringLiteral("開啟")), &QAction::triggered, this, [this, row] {
        guarded([&] {
            m_topic.moveTo(row);
            Timer1Timer(); // at once, not after the list's pause
        });
    });
    QAction *allRead = menu->addAction(QStringLiteral("全部標為已讀"));
    allRead->setEnabled(m_archiveKey.has_value());
    connect(allRead, &QAction::triggered, this, [this] {
        guarded([&] {
            // Every topic the list holds, as it holds it now.
            const int id = m_topic.findField("TOPIC_ID");
            const int lastPost = m_topic.findField("T_LAST_POST");
            const int replies = m_topic.findField("T_REPLIES");
            std::vector<TopicMark> marks;
            for (long long r = 0; r < m_topic.rowCount(); ++r)
                marks.push_back({m_topic.valueAt(r, id).toInt(),
                                 {m_topic.valueAt(r, lastPost).toText(), m_topic.valueAt(r, replies).toInt()}});
            markRead(marks);
            countUnread();
            refreshUnread();
        });
    });
    const bool bookmarked =
        m_store && m_archiveKey && m_store->isBookmarked(*m_archiveKey, BookmarkKind::Topic, topicId);
    QAction *favourite =
        menu->addAction(bookmarked ? QStringLiteral("從我的最愛移除") : QStringLiteral("加入我的最愛"));
    favourite->setEnabled(m_archiveKey.has_value());
    connect(favourite, &QAction::triggered, this, [this, topicId, subject, bookmarked] {
        guarded([&] { setBookmark(BookmarkKind::Topic, topicId, subject.toStdString(), !bookmarked); });
    });
    connect(menu->addAction(QStringLiteral("複製連結")), &QAction::triggered, this,
            [this, topicId] { QGuiApplication::clipboard()->setText(topicLink(topicId)); });
    menu->popup(m_grid->viewport()->mapToGlobal(position));
}

void TfmMain::sortTopicList(int column)
{
    if (!m_topic.isOpen())
        return;
    // A search's rows still coming would join the sorted list: the sort reads the whole result itself.
    stopSearch();
    if (m_sortedSql.empty() || m_topic.sql() != m_sortedSql) {
        m_sortBaseSql = m_topic.sql();
        m_sortColumn = -1;
    }
    // Ascending, then the other way, then the list's own order again.
    if (m_sortColumn != column) {
        m_sortColumn = column;
        m_sortDescending = false;
    } else if (!m_sortDescending) {
        m_sortDescending = true;
    } else {
        m_sortColumn = -1;
    }
    const std::int64_t shown =
        m_topic.isEmpty() || m_topic.eof() ? 0 : m_topicModel->topicIdAt(static_cast<int>(m_topic.recNo()));
    const std::string sql =
        m_sortColumn < 0 ? m_sortBaseSql
                         : SortedTopicSql(m_sortBaseSql, static_cast<TopicColumn>(m_sortColumn), m_sortDescending);
    m_sortedSql = m_sortColumn < 0 ? std::string() : sql;
    const int sortColumn = m_sortColumn;
    const bool descending = m_sortDescending;
    changeTopicQuery([&](Query &topic) {
        topic.setSql(sql);
        topic.open();
    });
    QHeaderView *header = m_grid->horizontalHeader();
    header->setSortIndicatorShown(sortColumn >= 0);
    if (sortColumn >= 0)
        header->setSortIndicator(sortColumn, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    // The topic shown stays the current one.
    if (shown > 0)
        m_topic.locate("TOPIC_ID", Value::integer(shown));
}

} // namespace velm
