#pragma once
// The article page of one topic: the two article queries, the page template and the texts of its tags.
#include "archive/database.h"
#include "article/message_markup.h"
#include "article/topic_link.h"

#include <functional>
#include <string>
#include <string_view>

namespace velm {

inline constexpr const char *kTopicSql =
    "select FORUM_ID,TOPIC_ID,T_DATE,T_SUBJECT,T_CODESYSTEM,T_AUTHOR,T_REPLIES,T_LAST_POST,T_GOOD,T_MESSAGE,M_NAME,"
    "T_FILENAME,T_FILESIZE  from FORUM_TOPICS,FORUM_MEMBERS where TOPIC_ID=:tpc_id and "
    "FORUM_TOPICS.T_AUTHOR=FORUM_MEMBERS.MEMBER_ID";
inline constexpr const char *kReplySql =
    "select R_MESSAGE,M_NAME,R_DATE,R_CODESYSTEM  from FORUM_REPLY,FORUM_MEMBERS where TOPIC_ID=:tpc_id and "
    "FORUM_REPLY.R_AUTHOR=FORUM_MEMBERS.MEMBER_ID ORDER BY R_DATE";

// The template of PageProducer1 (code page 950): 31 lines, each ending in CR LF.
const std::string &ArticleTemplate();

// Copies the template, replacing every "<#NAME>" by tagText(NAME); replacements are not scanned again.
std::string ExpandTemplate(std::string_view templateText, const std::function<std::string(std::string_view)> &tagText);

// The page as UTF-8 whose META line declares that charset: what the article view shows and a saved page holds.
std::string ArticlePageUtf8(const Big5Text &page);

class ArticlePage {
public:
    // Binds both queries to the archive connection and prepares them once for every article.
    void prepare(Connection *connection);
    void unprepare();
    bool prepared() const { return m_topic.prepared() && m_reply.prepared(); }

    // Builds the page of a topic; forumBaseUrl is the forum's address (UTF-8). False, with Reply and the page
    // left untouched, when the topic has no row, its author no member row, or the id is no whole number.
    bool build(const std::string &topicIdText, std::string_view forumBaseUrl, Big5Text &page);

    // The text of a tag for the current row of Topic; names compare without regard to case,
    // other names give empty text. REPLY reads Reply from its current row to its end.
    std::string PageProducer1HTMLTag(std::string_view tagName);

    Query &Topic() { return m_topic; }
    Query &Reply() { return m_reply; }

private:
    std::string markerLine() const;
    std::string forumName() const;
    std::string postRows();

    Query m_topic;
    Query m_reply;
    std::string m_linkBase;  // the forum's address in links: ASCII
    std::string m_shownBase; // the forum's address as the page shows it: code page 950
};

} // namespace velm
