#pragma once
// The toolbar's quick search: subjects, first-post bodies and replies holding the keyword.
#include <string>
#include <string_view>

namespace velm {

class SearchHost;

// The two-line statement for a keyword taken exactly as typed: its single quotes doubled, and %, _ and the
// backslash escaped so that they match themselves (see ContainsPattern).
std::string QuickSearchSql(std::string_view keywordCp950);

// Opens the statement on ADOTopic directly (no wait cursor, nothing to the clipboard); true when it found a
// row. An empty result stays open. A rejected statement leaves ADOTopic closed and passes the error on.
bool RunQuickSearch(SearchHost &host, const std::string &keywordCp950);

} // namespace velm
