#pragma once
// The toolbar's quick search: subjects, first-post bodies and replies holding the keyword.
#include <functional>
#include <string>
#include <string_view>

namespace velm {

class SearchHost;

// The two-line statement for a keyword taken exactly as typed: its single quotes doubled, and the LIKE
// pattern characters escaped so that they match themselves (see ContainsPattern).
std::string QuickSearchSql(std::string_view keywordCp950);

// Loads the search's rows into ADOTopic, opening its statement directly (no wait cursor, nothing to the
// clipboard); finished hears whether it found a row. An empty result stays open. A rejected statement
// leaves ADOTopic closed and passes the error on.
void StartQuickSearch(SearchHost &host, const std::string &keywordCp950,
                      const std::function<void(bool found)> &finished = {});
// The same with a host that runs searches before it returns; true when it found a row.
bool RunQuickSearch(SearchHost &host, const std::string &keywordCp950);

} // namespace velm
