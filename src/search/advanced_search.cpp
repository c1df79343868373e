#include "search/advanced_search.h"

#include "archive/database.h"
#include "archive/forum_tree.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/progress.h"
#include "search/indexed_search.h"
#include "search/search_host.h"

namespace velm {

namespace {

void addForums(const ForumNode &node, std::vector<SearchForum> &list)
{
    if (node.data > 0)
        list.push_back({node.text, node.data});
    for (const ForumNode &child : node.children)
        addForums(child, list);
}

} // namespace

std::vector<SearchForum> SearchForumList()
{
    // The forum tree's own walk, so nested categories' forums can be searched as they can be read.
    PlainTree tree;
    SilentProgress progress;
    BuildForumTree(tree, progress);
    std::vector<SearchForum> list;
    for (const ForumNode &root : tree.roots())
        addForums(root, list);
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

std::optional<TopicSearch> AdvancedTopicSearch(const SearchChoices &choices, std::chrono::year_month_day today)
{
    std::optional<ComposedSearch> composed;
    {
        Query categories;
        composed = ComposeSearch(choices, today, ArchiveMemberLookup(), ArchiveCategoryLookup(categories));
    }
    if (!composed)
        return std::nullopt;
    return TopicSearch{
        TopicSearch::Kind::Advanced, composed->sql(), composed->words,
        [search = *composed](sqlite3 *db) { return IndexedAdvancedSearchSql(db, search).value_or(search.sql()); }};
}

void StartAdvancedSearch(SearchHost &host, const SearchChoices &choices, std::chrono::year_month_day today,
                         const std::function<void(bool found)> &finished)
{
    const std::optional<TopicSearch> search = AdvancedTopicSearch(choices, today);
    const auto done = [&host, finished, keywords = search ? search->keywords : std::vector<std::string>()](bool found) {
        if (found) {
            host.setStatusText({}); // an earlier search's "找不到相關資料" no longer holds
            host.searchFound(keywords);
        } else {
            host.setStatusText(B5("找不到相關資料"));
        }
        if (finished)
            finished(found);
    };
    if (search) {
        host.runTopicSearch(*search, done);
        return;
    }
    host.changeTopicQuery([](Query &topic) { topic.close(); });
    done(false);
}

bool RunAdvancedSearch(SearchHost &host, const SearchChoices &choices, std::chrono::year_month_day today)
{
    bool found = false;
    StartAdvancedSearch(host, choices, today, [&found](bool f) { found = f; });
    return found;
}

} // namespace velm
