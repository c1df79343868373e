#include "search/quick_search.h"

#include "search/search_host.h"
#include "search/search_statement.h"
#include "search/topic_search.h"

namespace velm {

std::string QuickSearchSql(std::string_view keywordCp950)
{
    const std::string pattern = ContainsPattern(keywordCp950);
    return "SELECT * FROM FORUM_TOPICS WHERE T_SUBJECT LIKE " + pattern + " OR T_MESSAGE LIKE " + pattern + "\n" +
           "or TOPIC_ID IN (SELECT TOPIC_ID FROM FORUM_REPLY WHERE R_MESSAGE LIKE " + pattern + ")";
}

void StartQuickSearch(SearchHost &host, const std::string &keywordCp950,
                      const std::function<void(bool found)> &finished)
{
    host.runTopicSearch(QuickTopicSearch(keywordCp950), [&host, keywordCp950, finished](bool found) {
        if (found) {
            host.setStatusText({}); // an earlier search's "找不到相關資料" no longer holds
            host.searchFound({keywordCp950});
        }
        if (finished)
            finished(found);
    });
}

bool RunQuickSearch(SearchHost &host, const std::string &keywordCp950)
{
    bool found = false;
    StartQuickSearch(host, keywordCp950, [&found](bool f) { found = f; });
    return found;
}

} // namespace velm
