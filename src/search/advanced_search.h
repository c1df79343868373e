#pragma once
// The advanced search against the archive: the dialog's forum list, the lookups and the run on ADOTopic.
#include "search/search_statement.h"
#include "search/topic_search.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velm {

class Query;
class SearchHost;

struct SearchForum {
    std::string subject; // F_SUBJECT, code page 950
    std::int64_t id = 0;
};

// cbForum's items after "全部的討論區": every forum the forum tree shows, in its order; read on the default
// connection.
std::vector<SearchForum> SearchForumList();

// Member ids by exact name, on the default connection.
MemberLookup ArchiveMemberLookup();
// Category ids by kind, read through the given query (re-opened for every kind) on the default connection.
CategoryLookup ArchiveCategoryLookup(Query &categories);

// The search for the choices, its lookups made on the default connection; nothing when no ticked box's kind
// has a category to search.
std::optional<TopicSearch> AdvancedTopicSearch(const SearchChoices &choices, std::chrono::year_month_day today);

// Composes the statement and loads its rows into ADOTopic; finished hears whether it found a row. Without a
// row (or without a category to search) ADOTopic is closed and the status bar says "找不到相關資料"; the
// caller shows the box. A member that is not there is an error before anything runs.
void StartAdvancedSearch(SearchHost &host, const SearchChoices &choices, std::chrono::year_month_day today,
                         const std::function<void(bool found)> &finished = {});
// The same with a host that runs searches before it returns; true when it found a row.
bool RunAdvancedSearch(SearchHost &host, const SearchChoices &choices, std::chrono::year_month_day today);

} // namespace velm
