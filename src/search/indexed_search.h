#pragma once
// The searches' statements narrowed through the archive's text index: the same rows in the same order
// as the composed statements, read from the index's candidates instead of from every row. The composed
// LIKE conditions still decide; the index only leaves out rows that cannot hold the words. SQL texts are
// code page 950, as the connection layer takes them.
#include "search/search_statement.h"

#include <optional>
#include <string>

struct sqlite3;

namespace velm {

// The quick search narrowed, or nothing when the index is not complete or the keyword gives it no token.
std::optional<std::string> IndexedQuickSearchSql(sqlite3 *db, const std::string &keywordCp950);

// The advanced search narrowed, or nothing when the index is not complete or cannot tell the candidates
// (no keyword, a word without a token in OR mode, no word with one in AND mode).
std::optional<std::string> IndexedAdvancedSearchSql(sqlite3 *db, const ComposedSearch &search);

// Up to ten topics whose subject holds the text: TOPIC_ID, T_SUBJECT and T_CODESYSTEM, newest rows first;
// through the index when it can, otherwise by reading the subjects.
std::string SuggestionSql(sqlite3 *db, const std::string &textCp950);

} // namespace velm
