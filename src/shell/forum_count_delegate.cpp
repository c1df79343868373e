#include "shell/forum_count_delegate.h"

namespace velm {

QString ForumCountDelegate::label(const QModelIndex &index)
{
    const QString name = index.data(Qt::DisplayRole).toString();
    const int unread = index.data(UnreadRole).toInt();
    return unread > 0 ? QStringLiteral("%1 (%2)").arg(name).arg(unread) : name;
}

void ForumCountDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(UnreadRole).toInt() <= 0)
        return;
    option->text = label(index);
    option->font.setBold(true);
}

} // namespace velm
