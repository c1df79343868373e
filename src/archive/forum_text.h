#pragma once
// How forum values read as text: time stamps, subjects in either code system, author names.
#include "archive/database.h"
#include "archive/value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace velm {

class Connection;
class Query;

// 14-digit time stamp → "YYYY/MM/DD hh:mm:ss", by fixed positions: a short text leaves the
// separators alone where characters are missing, a long one is cut after the 14th character.
std::string FormatForumDate(const std::string &stamp);
// The same with "<br>" between date and time.
std::string FormatForumDateBreak(const std::string &stamp);

// A post's code-system value: exactly 1 means GB; anything else, null included, means Big5.
bool isGBCoded(const Value &codeSystem);
// A subject as shown: converted from GB when the post is GB-coded. Code page 950 in and out.
std::string SubjectText(const std::string &subject, const Value &codeSystem);

// Member names for the author of each topic row, looked up one by one through the member index, with
// the names already asked for kept in a small cache. An import or a change of archive must close it.
class MemberNames {
public:
    MemberNames();
    ~MemberNames();
    MemberNames(const MemberNames &) = delete;
    MemberNames &operator=(const MemberNames &) = delete;

    // Uses the connection (the default one when null) from now on.
    void open(Connection *connection = nullptr);
    bool isOpen() const { return m_open; }
    // Forgets every name and the connection.
    void close();
    // The member's name, or nothing when there is no such member. Of repeated ids, the first row's.
    const std::string *find(std::int64_t memberId);

private:
    bool m_open = false;
    Connection *m_connection = nullptr;
    sqlite3 *m_db = nullptr; // the handle the statement was prepared on
    StatementPtr m_lookup;
    std::unordered_map<std::int64_t, std::optional<std::string>> m_names;
};

// The author cell: empty for a blank id, else the member's name, else the id itself.
std::string AuthorText(const Value &author, MemberNames &members, Connection *connection = nullptr);

// The topic list's statement for one forum, newest activity first.
inline constexpr const char *kForumTopicsSql =
    "select * from FORUM_TOPICS where FORUM_ID=:frm_id ORDER BY T_LAST_POST DESC";

// The shown texts of a topic row (code page 950), as the topic grid shows them.
struct TopicCells {
    std::int64_t topicId = 0;
    std::string subject;
    std::string date;
    std::string author;
    std::string replies;
    std::string lastPost;
    std::string good;
};

// The columns a topic row's cells are made of.
inline constexpr const char *kTopicCellColumns[] = {"TOPIC_ID", "T_SUBJECT", "T_CODESYSTEM", "T_DATE",
                                                    "T_AUTHOR", "T_REPLIES", "T_LAST_POST",  "T_GOOD"};

// The date cell: the first 10 characters of the formatted time stamp, the date alone; empty for a blank stamp.
std::string DateCellText(const std::string &stamp);
// The cells of the query's current row; the query has the topic list's columns.
TopicCells CurrentTopicCells(const Query &query, MemberNames &members, Connection *connection = nullptr);

} // namespace velm
