// The forum tree: categories and forums as the window's tree holds them, with each forum's topic count.
#include "archive/forum_tree.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/progress.h"
#include "serve/pages_internal.h"
#include "sqlite/sqlite_db.h"

#include <unordered_map>

namespace velm::serve::detail {
namespace {

using Counts = std::unordered_map<std::int64_t, std::int64_t>;

Counts topicCounts(Connection &archive)
{
    Counts counts;
    Query query(&archive);
    query.setStreaming(true);
    query.setSql("select FORUM_ID,Count(*) from FORUM_TOPICS group by FORUM_ID");
    query.open();
    for (; !query.eof(); query.next())
        counts[query.field(0).asInteger()] = query.field(1).asInteger();
    return counts;
}

// Every category is open: a page keeps no state between visits, and the whole tree is seen at a glance.
void appendNode(const ForumNode &node, const Counts &counts, std::string &html)
{
    const std::string text = htmlEscaped(fromCp950(node.text));
    if (node.data > 0) {
        const auto count = counts.find(node.data);
        html.append("<li><a href=\"/forum/").append(std::to_string(node.data)).append("\">").append(text);
        html.append("</a> <span class=\"count\">(").append(std::to_string(count == counts.end() ? 0 : count->second));
        html.append(")</span></li>");
        return;
    }
    html.append("<li><details open><summary>").append(text);
    html.append("</summary><ul>");
    for (const ForumNode &child : node.children)
        appendNode(child, counts, html);
    html.append("</ul></details></li>");
}

} // namespace

std::int64_t dataVersion(Connection &archive)
{
    const auto stmt = sqlite::prepare(archive.handle(), "PRAGMA data_version");
    sqlite3_step(stmt.get());
    return sqlite3_column_int64(stmt.get(), 0);
}

MemberNames &memberNames(Worker &worker)
{
    const std::int64_t version = dataVersion(*worker.archive);
    if (version != worker.membersVersion || !worker.members.isOpen()) {
        worker.members.close();
        worker.members.open(worker.archive.get());
        worker.membersVersion = version;
    }
    return worker.members;
}

Response treePage(Worker &worker)
{
    // The tree changes only with an import: it is made again when the archive has changed since.
    const std::int64_t version = dataVersion(*worker.archive);
    if (version != worker.treeVersion || worker.treeBody.empty()) {
        PlainTree tree;
        SilentProgress progress;
        BuildForumTree(tree, progress, worker.archive.get());
        const Counts counts = topicCounts(*worker.archive);
        std::string html = "<ul class=\"tree\">";
        for (const ForumNode &root : tree.roots())
            appendNode(root, counts, html);
        html.append("</ul>");
        worker.treeBody = framedPage(fromCp950(ForumTreeRootText()), html);
        worker.treeVersion = version;
    }
    return {200, worker.treeBody};
}

} // namespace velm::serve::detail
