#pragma once
// The topic grid's view of ADOTopic: rows come from the query in blocks of 100 as the grid asks.
#include "archive/forum_text.h"

#include <QAbstractTableModel>

#include <functional>
#include <string>

namespace velm {

class Query;

class TopicGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kBlock = 100;
    // The shown columns, in the query's column order (T_CODESYSTEM and TOPIC_ID are hidden).
    enum Column { Subject, Date, Author, Replies, LastPost, Good, ColumnCount };

    explicit TopicGridModel(Query &query, QObject *parent = nullptr);

    // Around a change of the query's text or parameters: the grid stops following, then follows again.
    void beginQueryChange();
    void endQueryChange();
    // Drops the member names read so far (another archive was opened, or an import changed them) and
    // has the author column shown again.
    void resetMembers();
    // Unread topics are shown in bold; the test is asked again for every row after unreadChanged().
    using UnreadTest = std::function<bool(std::int64_t topicId, const std::string &lastPost, std::int64_t replies)>;
    void setUnreadTest(UnreadTest test) { m_unread = std::move(test); }
    void unreadChanged();
    // The TOPIC_ID of a row; 0 when there is none.
    std::int64_t topicIdAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // Makes rows up to the given one visible (the query moved past what the grid has shown).
    void showRowsUpTo(int row);
    // Rows a search gave the query meanwhile: the first screen fills at once, the rest as the grid scrolls.
    void rowsArrived();
    // The row the query stands on, for the row indicator.
    void setCurrentRow(int row);
    // Width in characters of each shown column.
    static int widthInCharacters(int column);

private:
    QString cellText(int row, int column) const;
    void findColumns();

    Query &m_query;
    mutable MemberNames m_members;
    int m_rows = 0;
    int m_currentRow = -1;
    int m_columns[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    UnreadTest m_unread;
};

} // namespace velm
