#pragma once
// The forum tree's names with the number of unread topics under each node beside them, bold while any are.
#include <QStyledItemDelegate>

namespace velm {

class ForumCountDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The unread topics under a node (an int; none or 0 shows the name alone).
    static constexpr int UnreadRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;
    // The text a node is shown with: its name, then " (n)" when n topics under it are unread.
    static QString label(const QModelIndex &index);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

} // namespace velm
