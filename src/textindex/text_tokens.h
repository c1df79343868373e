#pragma once
// The tokens of the archive's text index. A text holds a keyword as LIKE finds it (ASCII letters folded,
// every other character exact) only when it holds every token of the keyword, so the index can narrow a
// search without ever losing a row.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace velm::textindex {

// The name the index tables give their tokenizer; "velm subject" is the subject variant.
inline constexpr const char *kTokenizerName = "velm";

// Message tables index runs of ASCII letters and digits as overlapping three-letter pieces; subjects,
// being short, also as two-letter pieces, so that two typed letters can be served. Runs of other
// characters give overlapping character pairs. A single character gives nothing.
enum class TokenSet { Text, Subject };

// Calls back with each token of a UTF-8 text, in order; repeats are not removed. Bytes that are no UTF-8
// are read as SQLite reads them, so that equal characters to LIKE are equal tokens.
void forEachToken(std::string_view utf8, TokenSet set, const std::function<void(std::string_view)> &token);

// The distinct tokens of a keyword, in order of first appearance; empty when it gives none (then the
// index cannot serve it).
std::vector<std::string> keywordTokens(std::string_view utf8, TokenSet set);

// Makes the tokenizer known to a connection: every connection that writes the archive's forum tables or
// searches through the index needs it.
void registerTokenizer(sqlite3 *db);

} // namespace velm::textindex
