#pragma once
// Pieces the page files share: a worker thread's own state and the topic table.
#include "archive/database.h"
#include "archive/forum_text.h"
#include "article/article_page.h"
#include "serve/page_frame.h"
#include "serve/request_target.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velm::serve::detail {

inline constexpr int kTopicsPerPage = 50;

struct Worker {
    std::unique_ptr<Connection> archive; // read-only; the thread's default connection while it serves
    ArticlePage article;
    std::int64_t treeVersion = -1; // PRAGMA data_version when treeBody was made
    std::string treeBody;
    std::int64_t membersVersion = -1; // PRAGMA data_version when members began to be asked
    MemberNames members;
};

// The archive's PRAGMA data_version: it changes when another connection has committed.
std::int64_t dataVersion(Connection &archive);
// The worker's member names, forgotten when the archive has changed since they were asked.
MemberNames &memberNames(Worker &worker);

Response treePage(Worker &worker);
Response forumPage(Worker &worker, std::int64_t forumId, const RequestTarget &target);
Response topicPage(Worker &worker, const std::string &topicId, const RequestTarget &target,
                   const std::string &forumBaseUrl);
Response searchPage(Worker &worker, const RequestTarget &target);
Response advancedSearchPage(Worker &worker, const RequestTarget &target);

// The page parameter: 1 when absent, nothing when it is no whole number from 1 on.
std::optional<long long> pageNumber(const RequestTarget &target);

// Up to kTopicsPerPage rows of a topic query from its current row on, as the topic grid shows them, each
// subject linked to its topic page with linkQuery after the id; more tells whether a row is left after them.
std::string topicTable(Query &query, Worker &worker, std::string_view linkQuery, bool &more);

// The links to the previous and the next page of a list; pageLink(n) is the address of page n.
std::string pager(const std::string &pageLinkBase, long long page, bool more, std::optional<long long> lastPage = {});

// A query value as it stands in an address.
std::string queryValue(std::string_view utf8);

} // namespace velm::serve::detail
