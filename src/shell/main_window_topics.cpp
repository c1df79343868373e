// The main window's forum tree, topic list and grid, and the article each topic loads.
#include "shell/main_window.h"

#include "archive/forum_text.h"
#include "archive/forum_tree.h"
#include "base/qtext.h"
#include "shell/topic_model.h"
#include "shell_widgets/progress_window.h"

#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace velm {
namespace {

class TreeWidgetSink final : public TreeSink {
public:
    explicit TreeWidgetSink(QTreeWidget *tree) : m_tree(tree) {}
    void clear() override { m_tree->clear(); }
    Node addRoot(const std::string &text, std::int64_t data) override
    {
        return make(new QTreeWidgetItem(m_tree), text, data);
    }
    Node addChild(Node parent, const std::string &text, std::int64_t data) override
    {
        return make(new QTreeWidgetItem(static_cast<QTreeWidgetItem *>(parent)), text, data);
    }
    void expand(Node node) override { static_cast<QTreeWidgetItem *>(node)->setExpanded(true); }

private:
    static Node make(QTreeWidgetItem *item, const std::string &text, std::int64_t data)
    {
        item->setText(0, qFromCp950(Big5Text(text)));
        item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(data));
        return item;
    }
    QTreeWidget *m_tree;
};

// The width a cell needs to show a text whole: the text, the style's margins around it and the grid line.
int cellWidth(const QTableView *grid, const QString &text)
{
    QStyleOptionViewItem option;
    option.initFrom(grid);
    option.font = grid->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = text;
    return grid->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), grid).width() +
           (grid->showGrid() ? 1 : 0);
}

// A date cell as wide as any: the widest digit in every place.
QString widestDate(const QFontMetrics &metrics)
{
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    return QString(4, widest) + u'/' + QString(2, widest) + u'/' + QString(2, widest);
}

} // namespace

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
    if (QTreeWidgetItem *forum = forumNode(m_currentForumId)) {
        m_tv->setCurrentItem(forum);
        m_tv->scrollToItem(forum);
    }
    archiveShown();
}

QTreeWidgetItem *TfmMain::forumNode(std::int64_t forumId) const
{
    for (QTreeWidgetItemIterator it(m_tv); forumId > 0 && *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toLongLong() == forumId)
            return *it;
    return nullptr;
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
    fitAuthorColumn();
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
    listForum(data);
}

void TfmMain::listForum(std::int64_t forumId)
{
    rememberForum(forumId);
    stopSearch();             // its rows would come into the forum's list
    m_searchKeywords.clear(); // a forum's topics are no search result
    changeTopicQuery([&](Query &topic) {
        if (topic.sql() != kForumTopicsSql)
            topic.setSql(kForumTopicsSql);
        topic.close();
        m_topic.setParam("frm_id", Value::integer(forumId));
        ++m_topicQueries;
        m_topic.open();
    });
}

void TfmMain::followShownTopic()
{
    const Query &shown = m_article.Topic();
    const Value topicId = Value::integer(shown.fieldByName("TOPIC_ID").asInteger());
    const std::int64_t forumId = shown.fieldByName("FORUM_ID").asInteger();
    const auto rowHolds = [&](long long row) {
        return m_topic.valueAt(row, m_topic.findField("TOPIC_ID")).toInt() == topicId.toInt();
    };
    const bool listOpen = m_topic.isOpen() && !m_topic.isEmpty();
    if (listOpen && !m_topic.eof() && rowHolds(m_topic.recNo()))
        return; // the list's current row: a click there, or the place of a start
    // The forum's list, in its own order or sorted by a column.
    const bool forumOrder = m_topic.sql() == kForumTopicsSql ||
                            (!m_sortedSql.empty() && m_topic.sql() == m_sortedSql && m_sortBaseSql == kForumTopicsSql);
    const bool forumListed = listOpen && forumOrder && m_currentForumId == forumId;
    if (!forumListed) {
        // A search's list that holds the topic among the rows read so far keeps it.
        for (long long row = 0; listOpen && row < m_topic.fetchedRows(); ++row) {
            if (rowHolds(row)) {
                m_topic.moveTo(row);
                m_timer1->stop(); // the page is shown already
                return;
            }
        }
        QTreeWidgetItem *forum = forumNode(forumId);
        if (!forum)
            return;                 // a forum the tree does not show
        m_currentForumId = forumId; // the tree's change then lists nothing of its own
        for (QTreeWidgetItem *up = forum->parent(); up; up = up->parent())
            up->setExpanded(true);
        m_tv->setCurrentItem(forum);
        m_tv->scrollToItem(forum);
        listForum(forumId);
    }
    if (m_topic.isOpen())
        m_topic.locate("TOPIC_ID", topicId);
    m_timer1->stop(); // the page is shown already
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
    if (!link.isTopicLink) {
        m_showingVisit = url == m_visitUrl; // any other page leaves the topic the user came from
        return false;
    }
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
    const int dateWidth = cellWidth(m_grid, widestDate(metrics));
    for (int column = 0; column < TopicGridModel::ColumnCount; ++column) {
        const QString title = m_topicModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        int width =
            std::max(TopicGridModel::widthInCharacters(column) * digit + 4, titleMetrics.horizontalAdvance(title) + 4);
        if (column == TopicGridModel::Date || column == TopicGridModel::LastPost)
            width = std::max(width, dateWidth);
        m_grid->horizontalHeader()->resizeSection(column, width);
    }
    fitAuthorColumn();
}

void TfmMain::fitAuthorColumn()
{
    // Widened for the names of the rows shown first, never narrowed: a width the user chose stays.
    const QFontMetrics metrics(m_grid->font());
    QString widest;
    for (int row = 0; row < m_topicModel->rowCount(); ++row) {
        const QString name = m_topicModel->index(row, TopicGridModel::Author).data().toString();
        if (metrics.horizontalAdvance(name) > metrics.horizontalAdvance(widest))
            widest = name;
    }
    const int width = cellWidth(m_grid, widest);
    if (!widest.isEmpty() && width > m_grid->columnWidth(TopicGridModel::Author))
        m_grid->horizontalHeader()->resizeSection(TopicGridModel::Author, width);
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

} // namespace velm
