#pragma once
// The small set of SQL operations the reader runs on its default connection, and two text helpers.
// SQL texts and 8-bit values are code page 950; a failing statement's text goes to the clipboard.
#include "archive/database.h"
#include "base/paths.h"

#include <memory>
#include <string>
#include <string_view>

namespace velm {

// The default connection is the calling thread's own: set it on each thread that reads the archive.
void SetDefaultConnection(Connection *connection);
Connection *DefaultConnection();

// Closes the query, replaces its text, binds it (to the given connection, or to the default one when it
// has none yet) and opens it; true when the result has a row.
bool ReopenQuery(Query &query, const std::string &sql, Connection *connection = nullptr);
// A new query holding its whole result; the caller owns it.
std::unique_ptr<Query> OpenQuery(const std::string &sql, Connection *connection = nullptr);
// Runs a statement that returns no rows.
void ExecuteSQL(const std::string &sql, Connection *connection = nullptr);
// Runs a statement whose failure the caller ignores (CREATE TABLE of a table that may be there); the
// clipboard is left alone. False when it failed.
bool ExecuteQuietly(const std::string &sql, Connection &connection);
// The first row's value (an array of the columns when there are several); false when there is no row.
bool SQLLookup(const std::string &sql, Value &value, bool raw = false, Connection *connection = nullptr);
Value SQLValue(const std::string &sql);
// A value as it stands in SQL text: null, 8-bit text and date-time in single quotes (inner quotes
// are left as they are), everything else bare.
std::string SQLLiteral(const Value &value);
// A field's value, with the default of its kind in place of null.
Value FieldValueDef(const Field &field);

// AddBackslash, the util operation on paths, lives with the paths (base/paths.h).
// Cuts the next token off the text at the first of the delimiters; see the tests for the exact rule.
std::string CutToken(std::string_view delimiters, std::string &text);

// Single quotes doubled: for text from files, pages or the network placed in an SQL literal.
std::string QuoteDoubled(std::string_view text);

// Code page 950 text as a LIKE pattern that matches exactly that text, for use with ESCAPE '\': every
// %, _ and \ gets a \ before it, while the second byte of a two-byte character (which may be 0x5C or
// 0x5F) is left alone. A first byte with no second one (a title cut at a byte limit) becomes _, any one
// character. Quotes are not doubled: pass the result through QuoteDoubled as well.
std::string LikePatternLiteral(std::string_view cp950);

} // namespace velm
