#include "search/advanced_search.h"

#include "archive/database.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "search/search_host.h"

namespace velm {

std::vector<SearchForum> SearchForumList()
{
    auto forums = OpenQuery(kSearchForumListSql);
    const Field subject = forums->fieldByName("F_SUBJECT");
    const Field id = forums->fieldByName("FORUM_ID");
    std::vector<SearchForum> list;
    for (; !forums->eof(); forums->next())
        list.push_back({subject.asString(), id.asInteger()});
    return list;
}

MemberLookup ArchiveMemberLookup()
{
    return [](const std::string &member) -> std::optional<std::int64_t> {
        const Value id = SQLValue("select MEMBER_ID from FORUM_MEMBERS where M_NAME='" + QuoteDoubled(member) + "'");
        if (id.isEmpty())
            return std::nullopt;
        return id.toInt();
    };
}

CategoryLookup ArchiveCategoryLookup(Query &categories)
{
    return [&categories](int kind) {
        std::vector<std::int64_t> ids;
        ReopenQuery(categories, "select CAT_ID from FORUM_CATEGORY where CAT_KIND=" + std::to_string(kind));
        const Field id = categories.field(0);
        // A category without an id can hold no topic that "in (...)" would find.
        for (; !categories.eof(); categories.next())
            if (!id.isNull())
                ids.push_back(id.asInteger());
        return ids;
    };
}

bool RunAdvancedSearch(SearchHost &host, const SearchChoices &choices, std::chrono::year_month_day today)
{
    std::optional<std::string> sql;
    {
        Query categories;
        sql = ComposeSearchSql(choices, today, ArchiveMemberLookup(), ArchiveCategoryLookup(categories));
    }
    bool found = false;
    host.changeTopicQuery([&](Query &topic) {
        if (sql)
            found = ReopenQuery(topic, *sql);
        if (!found)
            topic.close();
    });
    if (found)
        host.setStatusText({}); // an earlier search's "找不到相關資料" no longer holds
    if (!found)
        host.setStatusText(B5("找不到相關資料"));
    else
        host.searchFound(SearchKeywordList(choices));
    return found;
}

} // namespace velm
