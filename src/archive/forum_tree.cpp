#include "archive/forum_tree.h"

#include "archive/util.h"
#include "base/cp950.h"
#include "base/progress.h"

#include <algorithm>

namespace velm {
namespace {

constexpr const char *kCategorySql = "select CAT_PID,CAT_ID,CAT_NAME from FORUM_CATEGORY order by CAT_PID,CAT_ORDER";
constexpr const char *kForumSql = "select CAT_ID,FORUM_ID,F_SUBJECT from FORUM_FORUM  order by CAT_ID,FORUM_ID";
constexpr const char *kCategoryCountSql = "select Count(*) from FORUM_CATEGORY";
constexpr const char *kForumCountSql = "select Count(*) from FORUM_FORUM ";

class TreeBuilder {
public:
    TreeBuilder(TreeSink &tree, ProgressSink &progress, Query &categories, Query &forums)
        : m_tree(tree), m_progress(progress), m_categories(categories), m_forums(forums)
    {
    }

    void addTreeLevel(TreeSink::Node parent, std::int64_t parentId)
    {
        m_path.push_back(parentId);
        if (m_categories.locate("CAT_PID", Value::integer(parentId))) {
            const Field pid = m_categories.fieldByName("CAT_PID");
            const Field id = m_categories.fieldByName("CAT_ID");
            const Field name = m_categories.fieldByName("CAT_NAME");
            while (!m_categories.eof() && pid.asInteger() == parentId) {
                TreeSink::Node node = m_tree.addChild(parent, name.asString(), 0);
                const Query::Bookmark mark = m_categories.bookmark();
                const std::int64_t categoryId = id.asInteger();
                // A category already on the path (its own ancestor, or a repeated id) would never end.
                if (std::find(m_path.begin(), m_path.end(), categoryId) == m_path.end())
                    addTreeLevel(node, categoryId);
                m_categories.gotoBookmark(mark);
                m_categories.next();
                m_progress.step();
            }
        }
        if (m_forums.locate("CAT_ID", Value::integer(parentId))) {
            const Field catId = m_forums.fieldByName("CAT_ID");
            const Field forumId = m_forums.fieldByName("FORUM_ID");
            const Field subject = m_forums.fieldByName("F_SUBJECT");
            while (!m_forums.eof() && catId.asInteger() == parentId) {
                m_tree.addChild(parent, subject.asString(), forumId.asInteger());
                m_forums.next();
                m_progress.step();
            }
        }
        m_progress.processEvents();
        m_path.pop_back();
    }

private:
    TreeSink &m_tree;
    ProgressSink &m_progress;
    Query &m_categories;
    Query &m_forums;
    std::vector<std::int64_t> m_path;
};

void appendNode(std::string &out, const ForumNode &node, int depth)
{
    out.append(static_cast<size_t>(depth) * 2, ' ');
    out += fromCp950(node.text);
    if (node.data > 0)
        out += " [" + std::to_string(node.data) + "]";
    out += '\n';
    for (const ForumNode &child : node.children)
        appendNode(out, child, depth + 1);
}

} // namespace

const std::string &ForumTreeRootText()
{
    return B5("Velm討論區");
}

void BuildForumTree(TreeSink &tree, ProgressSink &progress, Connection *connection)
{
    progress.setCaption(B5("資料載入中"));
    progress.show();
    tree.clear();
    TreeSink::Node root = tree.addRoot(ForumTreeRootText(), 0);
    progress.setRange(0, 0);

    auto categories = OpenQuery(kCategoryCountSql, connection);
    int total = 0;
    if (!categories->isEmpty())
        total += static_cast<int>(categories->field(0).asInteger());
    auto forums = OpenQuery(kForumCountSql, connection);
    if (!forums->isEmpty())
        total += static_cast<int>(forums->field(0).asInteger());
    progress.setRange(0, total);

    ReopenQuery(*categories, kCategorySql, connection);
    ReopenQuery(*forums, kForumSql, connection);
    progress.setPosition(0);

    TreeBuilder(tree, progress, *categories, *forums).addTreeLevel(root, 0);

    categories.reset();
    forums.reset();
    progress.close();
    tree.expand(root);
}

void PlainTree::clear()
{
    m_roots.clear();
}

TreeSink::Node PlainTree::addRoot(const std::string &textCp950, std::int64_t data)
{
    m_roots.push_back({textCp950, data, {}, false});
    return &m_roots.back();
}

TreeSink::Node PlainTree::addChild(Node parent, const std::string &textCp950, std::int64_t data)
{
    auto *node = static_cast<ForumNode *>(parent);
    node->children.push_back({textCp950, data, {}, false});
    return &node->children.back();
}

void PlainTree::expand(Node node)
{
    static_cast<ForumNode *>(node)->expanded = true;
}

std::string PlainTree::toText() const
{
    std::string out;
    for (const ForumNode &root : m_roots)
        appendNode(out, root, 0);
    return out;
}

} // namespace velm
