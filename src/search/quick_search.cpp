#include "search/quick_search.h"

#include "archive/database.h"
#include "archive/util.h"
#include "search/search_host.h"
#include "search/search_statement.h"

namespace velm {

std::string QuickSearchSql(std::string_view keywordCp950)
{
    const std::string pattern = ContainsPattern(keywordCp950);
    return "SELECT * FROM FORUM_TOPICS WHERE T_SUBJECT LIKE " + pattern + " OR T_MESSAGE LIKE " + pattern + "\n" +
           "or TOPIC_ID IN (SELECT TOPIC_ID FROM FORUM_REPLY WHERE R_MESSAGE LIKE " + pattern + ")";
}

bool RunQuickSearch(SearchHost &host, const std::string &keywordCp950)
{
    bool found = false;
    host.changeTopicQuery([&](Query &topic) {
        topic.close();
        topic.setSql(QuickSearchSql(keywordCp950));
        if (!topic.connection())
            topic.setConnection(DefaultConnection());
        topic.open();
        found = !topic.eof();
    });
    if (found)
        host.setStatusText({}); // an earlier search's "找不到相關資料" no longer holds
    if (found)
        host.searchFound({keywordCp950});
    return found;
}

} // namespace velm
