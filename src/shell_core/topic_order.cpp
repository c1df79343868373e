#include "shell_core/topic_order.h"

namespace velm {

std::string SortedTopicSql(const std::string &listSql, TopicColumn column, bool descending)
{
    std::string key;
    switch (column) {
    case TopicColumn::Subject:
        key = "T_SUBJECT";
        break;
    case TopicColumn::Date:
        key = "T_DATE";
        break;
    case TopicColumn::Author:
        // The list shows the member's name, or the id where there is no member.
        key = "coalesce((select M_NAME from FORUM_MEMBERS where MEMBER_ID=T_AUTHOR), T_AUTHOR)";
        break;
    case TopicColumn::Replies:
        key = "T_REPLIES";
        break;
    case TopicColumn::LastPost:
        key = "T_LAST_POST";
        break;
    case TopicColumn::Good:
        key = "T_GOOD";
        break;
    }
    const char *direction = descending ? " desc" : "";
    return "select * from (" + listSql + ") order by " + key + direction + ", TOPIC_ID" + direction;
}

} // namespace velm
