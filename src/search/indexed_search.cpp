#include "search/indexed_search.h"

#include "base/cp950.h"
#include "sqlite/sqlite_db.h"
#include "textindex/text_index.h"

#include <sqlite3.h>

namespace velm {
namespace {

using textindex::candidateRowids;
using textindex::Text;

// Words as the statement's patterns hold them; nothing when one does not come back as typed (a cut
// character), since its pattern could then differ from its tokens.
std::optional<std::vector<std::string>> wordsUtf8(const std::vector<std::string> &wordsCp950)
{
    std::vector<std::string> words;
    for (const std::string &word : wordsCp950) {
        words.push_back(fromCp950(word));
        if (toCp950(words.back()) != word)
            return std::nullopt;
    }
    return words;
}

// How many rows a candidate subquery gives, counting no further than `limit`.
std::int64_t countUpTo(sqlite3 *db, const std::string &candidates, int limit)
{
    const sqlite::StatementPtr count =
        sqlite::prepare(db, "SELECT count(*) FROM (" + candidates + " LIMIT " + std::to_string(limit) + ")");
    if (sqlite3_step(count.get()) != SQLITE_ROW)
        sqlite::raise(db);
    return sqlite3_column_int64(count.get(), 0);
}

// The topics one in so many rows of the topics: beyond that, reading the candidates one by one costs more
// than reading the topics in their order.
constexpr std::int64_t kFewPerTopics = 12;

// The topic rows there are, as far as the largest rowid tells (never fewer).
std::int64_t topicRowsAtMost(sqlite3 *db)
{
    const sqlite::StatementPtr rows = sqlite::prepare(db, "SELECT max(rowid) - min(rowid) + 1 FROM FORUM_TOPICS");
    return sqlite3_step(rows.get()) == SQLITE_ROW ? sqlite3_column_int64(rows.get(), 0) : 0;
}

bool fewCandidates(sqlite3 *db, const std::string &topics, const std::string &replies)
{
    const std::int64_t limit = topicRowsAtMost(db) / kFewPerTopics + 1;
    const std::int64_t topicCount = countUpTo(db, topics, static_cast<int>(limit));
    return topicCount + countUpTo(db, replies, static_cast<int>(limit)) / 4 < limit;
}

std::string topicsOfReplies(const std::string &replies)
{
    return "SELECT rowid FROM FORUM_TOPICS WHERE TOPIC_ID IN (SELECT TOPIC_ID FROM FORUM_REPLY WHERE rowid IN (" +
           replies + "))";
}

} // namespace

std::optional<std::string> IndexedQuickSearchSql(sqlite3 *db, const std::string &keywordCp950)
{
    const auto words = wordsUtf8({keywordCp950});
    if (!words || !textindex::usable(db))
        return std::nullopt;
    const auto subjects = candidateRowids(Text::Subject, *words, true);
    const auto messages = candidateRowids(Text::TopicMessage, *words, true);
    const auto replies = candidateRowids(Text::ReplyMessage, *words, true);
    if (!subjects || !messages || !replies)
        return std::nullopt;
    const std::string topics = *subjects + " UNION ALL " + *messages;
    const std::string p = ContainsPattern(keywordCp950);
    const std::string inTopic = "(T_SUBJECT LIKE " + p + " OR T_MESSAGE LIKE " + p + ")";
    if (fewCandidates(db, topics, *replies))
        // The candidates are read one by one, in rowid order as the scan gives them.
        return "SELECT * FROM FORUM_TOPICS WHERE FORUM_TOPICS.rowid IN (" + topics + " UNION ALL " +
               topicsOfReplies(*replies) + ") AND (" + inTopic +
               " OR TOPIC_ID IN (SELECT TOPIC_ID FROM FORUM_REPLY WHERE FORUM_REPLY.rowid IN (" + *replies +
               ") AND R_MESSAGE LIKE " + p + ")) ORDER BY FORUM_TOPICS.rowid";
    // Most topics are candidates: they are read in order, and a topic's replies are looked at only when its
    // own texts do not hold the keyword.
    return "SELECT * FROM FORUM_TOPICS WHERE (FORUM_TOPICS.rowid IN (" + topics + ") AND " + inTopic +
           ") OR EXISTS (SELECT 1 FROM FORUM_REPLY WHERE FORUM_REPLY.TOPIC_ID = FORUM_TOPICS.TOPIC_ID AND "
           "+FORUM_REPLY.rowid IN (" +
           *replies + ") AND R_MESSAGE LIKE " + p + ") ORDER BY FORUM_TOPICS.rowid";
}

std::optional<std::string> IndexedAdvancedSearchSql(sqlite3 *db, const ComposedSearch &search)
{
    const auto words = wordsUtf8(search.words);
    if (search.words.empty() || !words || !textindex::usable(db))
        return std::nullopt;
    const bool all = search.mode != MatchMode::Or;
    const auto subjects = candidateRowids(Text::Subject, *words, all);
    if (!subjects)
        return std::nullopt;
    std::string topics = *subjects;
    std::string replies = "SELECT 0 WHERE 0";
    if (search.field == SearchField::All) {
        const auto messages = candidateRowids(Text::TopicMessage, *words, all);
        const auto replyRows = candidateRowids(Text::ReplyMessage, *words, all);
        if (!messages || !replyRows)
            return std::nullopt;
        topics += " UNION ALL " + *messages;
        replies = *replyRows;
    }
    // Beyond a few candidates the sort of the result costs as much as the scan: the statement runs as it is.
    if (!fewCandidates(db, topics, replies))
        return std::nullopt;
    if (search.field == SearchField::All)
        topics += " UNION ALL " + topicsOfReplies(replies);
    return search.select + " where (" + search.where + ") and FORUM_TOPICS.rowid IN (" + topics + ")" + search.order;
}

std::string SuggestionSql(sqlite3 *db, const std::string &textCp950)
{
    const std::string select = "SELECT TOPIC_ID, T_SUBJECT, T_CODESYSTEM FROM FORUM_TOPICS WHERE ";
    const std::string condition = "T_SUBJECT LIKE " + ContainsPattern(textCp950) + " ORDER BY rowid DESC LIMIT 10";
    const auto words = wordsUtf8({textCp950});
    if (words && textindex::usable(db))
        if (const auto subjects = candidateRowids(Text::Subject, *words, true))
            return select + "rowid IN (" + *subjects + ") AND " + condition;
    return select + condition;
}

} // namespace velm
