#include "shell/topic_model.h"

#include "archive/database.h"
#include "base/qtext.h"

#include <QColor>
#include <QFont>

namespace velm {
namespace {

// Query columns by the names every topic statement returns.
enum QueryColumn { qSubject, qDate, qCodeSystem, qAuthor, qReplies, qLastPost, qGood, qTopicId };
constexpr const char *kQueryColumns[8] = {"T_SUBJECT", "T_DATE",      "T_CODESYSTEM", "T_AUTHOR",
                                          "T_REPLIES", "T_LAST_POST", "T_GOOD",       "TOPIC_ID"};

struct ShownColumn {
    const char *title;
    int characters;
    QueryColumn source;
};
constexpr ShownColumn kShown[TopicGridModel::ColumnCount] = {
    {"主題", 50, qSubject},  {"發表時間", 10, qDate},     {"發表人", 10, qAuthor},
    {"回覆數", 6, qReplies}, {"最後回覆", 10, qLastPost}, {"黃金文章", 1, qGood},
};

} // namespace

TopicGridModel::TopicGridModel(Query &query, QObject *parent) : QAbstractTableModel(parent), m_query(query) {}

void TopicGridModel::beginQueryChange()
{
    beginResetModel();
    m_rows = 0;
    m_currentRow = -1;
}

void TopicGridModel::endQueryChange()
{
    findColumns();
    m_rows = m_query.isOpen() ? static_cast<int>(std::min<long long>(m_query.fetchedRows(), kBlock)) : 0;
    if (m_query.isOpen() && m_rows < kBlock && !m_query.allFetched()) {
        m_query.fetchMore(kBlock - m_rows);
        m_rows = static_cast<int>(std::min<long long>(m_query.fetchedRows(), kBlock));
    }
    m_currentRow = m_query.isOpen() && !m_query.isEmpty() ? static_cast<int>(m_query.recNo()) : -1;
    endResetModel();
}

void TopicGridModel::findColumns()
{
    for (int i = 0; i < 8; ++i)
        m_columns[i] = m_query.isOpen() ? m_query.findField(kQueryColumns[i]) : -1;
}

void TopicGridModel::resetMembers()
{
    m_members.close();
    if (m_rows > 0)
        emit dataChanged(index(0, Author), index(m_rows - 1, Author), {Qt::DisplayRole});
}

void TopicGridModel::unreadChanged()
{
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, ColumnCount - 1), {Qt::FontRole});
}

std::int64_t TopicGridModel::topicIdAt(int row) const
{
    return row >= 0 && row < m_rows && m_columns[qTopicId] >= 0 ? m_query.valueAt(row, m_columns[qTopicId]).toInt() : 0;
}

int TopicGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TopicGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

bool TopicGridModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_query.isOpen() && (m_query.fetchedRows() > m_rows || !m_query.allFetched());
}

void TopicGridModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || !m_query.isOpen())
        return;
    if (m_query.fetchedRows() < m_rows + kBlock)
        m_query.fetchMore(m_rows + kBlock - m_query.fetchedRows());
    const int available = static_cast<int>(std::min<long long>(m_query.fetchedRows(), m_rows + kBlock));
    if (available <= m_rows)
        return;
    beginInsertRows({}, m_rows, available - 1);
    m_rows = available;
    endInsertRows();
}

void TopicGridModel::showRowsUpTo(int row)
{
    if (row < m_rows || !m_query.isOpen())
        return;
    const int available = static_cast<int>(std::min<long long>(m_query.fetchedRows(), row + 1));
    if (available <= m_rows)
        return;
    beginInsertRows({}, m_rows, available - 1);
    m_rows = available;
    endInsertRows();
}

void TopicGridModel::rowsArrived()
{
    if (m_rows < kBlock)
        showRowsUpTo(kBlock - 1);
}

void TopicGridModel::setCurrentRow(int row)
{
    const int old = m_currentRow;
    m_currentRow = row;
    if (old >= 0 && old < m_rows)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < m_rows)
        emit headerDataChanged(Qt::Vertical, row, row);
}

int TopicGridModel::widthInCharacters(int column)
{
    return kShown[column].characters;
}

QString TopicGridModel::cellText(int row, int column) const
{
    const auto value = [&](QueryColumn c) -> Value {
        return m_columns[c] < 0 ? Value::null() : m_query.valueAt(row, m_columns[c]);
    };
    switch (column) {
    case Subject:
        return qFromCp950(Big5Text(SubjectText(value(qSubject).toText(), value(qCodeSystem))));
    case Date:
        return qFromCp950(Big5Text(DateCellText(value(qDate).toText())));
    case Author:
        return qFromCp950(Big5Text(AuthorText(value(qAuthor), m_members, m_query.connection())));
    case Replies:
        return qFromCp950(Big5Text(value(qReplies).toText()));
    case LastPost:
        return qFromCp950(Big5Text(DateCellText(value(qLastPost).toText())));
    case Good:
        return qFromCp950(Big5Text(value(qGood).toText()));
    }
    return {};
}

QVariant TopicGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() == Replies ? int(Qt::AlignRight | Qt::AlignVCenter)
                                         : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return QColor(215, 215, 255);
    case Qt::FontRole: {
        if (!m_unread || m_columns[qTopicId] < 0)
            return {};
        const int row = index.row();
        const auto value = [&](QueryColumn c) {
            return m_columns[c] < 0 ? Value::null() : m_query.valueAt(row, m_columns[c]);
        };
        if (!m_unread(value(qTopicId).toInt(), value(qLastPost).toText(), value(qReplies).toInt()))
            return {};
        QFont bold; // only the weight: the rest is the grid's own font
        bold.setBold(true);
        return bold;
    }
    default:
        return {};
    }
}

QVariant TopicGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < ColumnCount ? QString::fromUtf8(kShown[section].title) : QVariant();
    // The row indicator marks the row the query stands on.
    return section == m_currentRow ? QStringLiteral("▶") : QString();
}

} // namespace velm
