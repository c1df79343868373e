#pragma once
// The read marks of the archive open, held in memory for the topic list and the tree, and what the archive
// says of its topics now: a topic is read while it looks as it did when it was read.
#include "store/reader_store.h"

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velm {

class ReadMarks {
public:
    ReadMarks() = default;
    explicit ReadMarks(std::unordered_map<std::int64_t, TopicSeen> marks) : m_marks(std::move(marks)) {}

    // Read: marked, with no reply later than the one seen and no more replies than then.
    bool isRead(std::int64_t topicId, std::string_view lastPost, std::int64_t replies) const;
    void set(const TopicMark &mark) { m_marks[mark.topicId] = mark.seen; }
    const std::unordered_map<std::int64_t, TopicSeen> &all() const { return m_marks; }

private:
    std::unordered_map<std::int64_t, TopicSeen> m_marks;
};

// A topic as the archive holds it now.
struct TopicNow {
    std::int64_t forumId = 0;
    TopicSeen seen;
};
std::optional<TopicNow> TopicState(sqlite3 *archive, std::int64_t topicId);

// Every topic of a forum as it is now: the marks that make the whole forum read.
std::vector<TopicMark> ForumTopicMarks(sqlite3 *archive, std::int64_t forumId);

// Unread topics by FORUM_ID: the forum's topics (counted on the forum index) less those read as they are now
// (one lookup per mark), so the cost follows the marks, not the archive's size.
std::unordered_map<std::int64_t, std::int64_t> UnreadCounts(sqlite3 *archive, const ReadMarks &marks);

} // namespace velm
