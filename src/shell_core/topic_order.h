#pragma once
// The topic list sorted by one of its shown columns: the list's own statement, its rows put in another order.
#include <string>

namespace velm {

// The shown columns of the topic list, in their order.
enum class TopicColumn { Subject, Date, Author, Replies, LastPost, Good };

// The statement listing the rows of listSql (which returns the topic columns) ordered by the column as shown:
// authors by their member names, replies as numbers, the rest as their texts; ties go by topic number.
std::string SortedTopicSql(const std::string &listSql, TopicColumn column, bool descending);

} // namespace velm
