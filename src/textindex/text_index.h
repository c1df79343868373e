#pragma once
// The archive's full-text index: tables inside the archive file, so that it commits and rolls back with
// the forum tables. Triggers record every change of a subject or message in a log, in any connection and
// without the tokenizer; the log is brought into the index by catchUp, and until then its rows count as
// candidates, so that the index never hides a row. Everything here runs on one connection, on the
// caller's thread.
#include "textindex/text_tokens.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace velm::textindex {

// The indexed texts: a topic's subject, a topic's message, a reply's message.
enum class Text { Subject, TopicMessage, ReplyMessage };

struct Status {
    bool present = false;                     // the index tables exist
    bool complete = false;                    // built to the end, kept by the triggers: searches may use it
    bool merged = false;                      // and in its smallest form: the build has nothing left to do
    std::int64_t rowsDone = 0, rowsTotal = 0; // topic and reply rows built so far, of all
    std::int64_t pending = 0;                 // logged changes not yet in the index
};

// Whether the archive has the forum tables and columns the index reads.
bool indexable(sqlite3 *db);
Status status(sqlite3 *db);
// Complete, of this program's form, and with its triggers: what a search asks before narrowing.
bool usable(sqlite3 *db);
// The pages the index takes in the file, in bytes; -1 when SQLite cannot tell.
std::int64_t sizeInBytes(sqlite3 *db);

// Creates the empty index (its build starts from the first row) unless one of this form is there; one
// of another form, or without its triggers, is replaced.
void create(sqlite3 *db);
// Removes the index and everything it keeps.
void drop(sqlite3 *db);

// One short write transaction of the build: the logged changes taken in, and up to `rows` more rows; once
// every row is in, the index is complete and the next steps merge it, a part at a time, into its smallest
// form. True when that is done too; *rowsDone, when given, counts the rows built so far.
bool buildStep(sqlite3 *db, int rows, std::int64_t *rowsDone = nullptr);

// Brings the logged changes into the index, inside the caller's transaction when one is open.
void catchUp(sqlite3 *db);

// A subquery of rowids (of FORUM_TOPICS, or of FORUM_REPLY for reply messages) among which is every row
// whose text holds all the words (with `all`) or any of them, as LIKE finds them: the rows the index
// gives, and the rows changed since the last catch-up. Its SQL text is ASCII, whatever the words.
// Nothing when the index cannot tell: for any, a word without a token; for all, no word with one.
std::optional<std::string> candidateRowids(Text text, const std::vector<std::string> &wordsUtf8, bool all);

} // namespace velm::textindex
