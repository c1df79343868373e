// Commands over the archive itself.
#include "cli/session.h"

#include "archive/forum_text.h"
#include "archive/forum_tree.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/progress.h"
#include "store/read_marks.h"

#include <ostream>

namespace velm {
namespace {

int tree(Session &session, const std::vector<std::string> &args)
{
    if (!args.empty())
        return 2;
    session.archive();
    PlainTree tree;
    SilentProgress progress;
    BuildForumTree(tree, progress);
    session.out() << tree.toText();
    return 0;
}

int topics(Session &session, const std::vector<std::string> &args)
{
    std::int64_t forumId = 0;
    if (args.size() != 1 || !parseId(args[0], forumId))
        return 2;
    Query query(&session.archive());
    streamTopicRows(query);
    query.setSql(kForumTopicsSql);
    query.setParam("frm_id", Value::integer(forumId));
    query.open();
    printTopicRows(session, query);
    return 0;
}

} // namespace

bool parseId(const std::string &text, std::int64_t &id)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    id = std::stoll(text);
    return true;
}

void streamTopicRows(Query &query)
{
    query.setStreaming(true);
    query.setColumns(std::vector<std::string>(std::begin(kTopicCellColumns), std::end(kTopicCellColumns)));
}

void printTopicRows(Session &session, Query &query)
{
    const ReadMarks &marks = session.readMarks();
    MemberNames members;
    for (; !query.eof(); query.next()) {
        const TopicCells c = CurrentTopicCells(query, members, query.connection());
        session.out() << c.topicId << '\t' << fromCp950(c.subject) << '\t' << fromCp950(c.date) << '\t'
                      << fromCp950(c.author) << '\t' << fromCp950(c.replies) << '\t' << fromCp950(c.lastPost) << '\t'
                      << fromCp950(c.good) << '\t'
                      << (marks.isRead(query.fieldByName("TOPIC_ID").asInteger(),
                                       query.fieldByName("T_LAST_POST").asString(),
                                       query.fieldByName("T_REPLIES").asInteger())
                              ? "read"
                              : "unread")
                      << '\n';
    }
}

std::vector<CliCommand> archiveCommands()
{
    return {
        {"tree",
         "  tree                 the forum tree: one node per line, two blanks of indent per depth,\n"
         "                       a forum's line ends with its id in brackets\n",
         &tree},
        {"topics",
         "  topics FORUM_ID      the forum's topics, newest activity first: id, subject, date, author,\n"
         "                       replies, last reply, golden mark and read or unread (the reader's read\n"
         "                       marks), separated by tabs\n",
         &topics},
    };
}

} // namespace velm
