#include "store/read_marks.h"

#include "sqlite/sqlite_db.h"

#include <algorithm>

namespace velm {
namespace {

TopicSeen seenOf(sqlite3_stmt *stmt, int lastPostColumn)
{
    return {sqlite::columnText(stmt, lastPostColumn), sqlite3_column_int64(stmt, lastPostColumn + 1)};
}

} // namespace

bool ReadMarks::isRead(std::int64_t topicId, std::string_view lastPost, std::int64_t replies) const
{
    const auto mark = m_marks.find(topicId);
    return mark != m_marks.end() && lastPost <= mark->second.lastPost && replies <= mark->second.replies;
}

std::optional<TopicNow> TopicState(sqlite3 *archive, std::int64_t topicId)
{
    const sqlite::StatementPtr stmt =
        sqlite::prepare(archive, "SELECT FORUM_ID, T_LAST_POST, T_REPLIES FROM FORUM_TOPICS WHERE TOPIC_ID=?");
    sqlite3_bind_int64(stmt.get(), 1, topicId);
    const int rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_ROW)
        return TopicNow{sqlite3_column_int64(stmt.get(), 0), seenOf(stmt.get(), 1)};
    if (rc != SQLITE_DONE)
        sqlite::raise(archive);
    return std::nullopt;
}

std::vector<TopicMark> ForumTopicMarks(sqlite3 *archive, std::int64_t forumId)
{
    const sqlite::StatementPtr stmt = sqlite::prepare(
        archive, "SELECT TOPIC_ID, T_LAST_POST, T_REPLIES FROM FORUM_TOPICS WHERE FORUM_ID=? AND TOPIC_ID IS NOT NULL");
    sqlite3_bind_int64(stmt.get(), 1, forumId);
    std::vector<TopicMark> marks;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        marks.push_back({sqlite3_column_int64(stmt.get(), 0), seenOf(stmt.get(), 1)});
    if (rc != SQLITE_DONE)
        sqlite::raise(archive);
    return marks;
}

std::unordered_map<std::int64_t, std::int64_t> UnreadCounts(sqlite3 *archive, const ReadMarks &marks)
{
    std::unordered_map<std::int64_t, std::int64_t> unread;
    const sqlite::StatementPtr totals =
        sqlite::prepare(archive, "SELECT FORUM_ID, count(*) FROM FORUM_TOPICS GROUP BY FORUM_ID");
    int rc;
    while ((rc = sqlite3_step(totals.get())) == SQLITE_ROW)
        unread[sqlite3_column_int64(totals.get(), 0)] = sqlite3_column_int64(totals.get(), 1);
    if (rc != SQLITE_DONE)
        sqlite::raise(archive);

    const sqlite::StatementPtr topic =
        sqlite::prepare(archive, "SELECT FORUM_ID, T_LAST_POST, T_REPLIES FROM FORUM_TOPICS WHERE TOPIC_ID=?");
    // In TOPIC_ID order, the lookups walk the index and the table's pages once instead of at random.
    std::vector<std::int64_t> ids;
    ids.reserve(marks.all().size());
    for (const auto &mark : marks.all())
        ids.push_back(mark.first);
    std::sort(ids.begin(), ids.end());
    for (const std::int64_t topicId : ids) {
        sqlite3_bind_int64(topic.get(), 1, topicId);
        while ((rc = sqlite3_step(topic.get())) == SQLITE_ROW)
            if (marks.isRead(topicId, sqlite::columnText(topic.get(), 1), sqlite3_column_int64(topic.get(), 2)))
                --unread[sqlite3_column_int64(topic.get(), 0)];
        if (rc != SQLITE_DONE)
            sqlite::raise(archive);
        sqlite3_reset(topic.get());
    }
    return unread;
}

} // namespace velm
