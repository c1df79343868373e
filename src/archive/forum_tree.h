#pragma once
// The forum tree: categories and forums under one root, built from two ordered queries.
#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace velm {

class Connection;
class ProgressSink;
class Query;

// Where the nodes go: the window's tree view, or a plain tree for the command line.
class TreeSink {
public:
    using Node = void *;
    virtual ~TreeSink() = default;
    virtual void clear() = 0;
    virtual Node addRoot(const std::string &textCp950, std::int64_t data) = 0;
    virtual Node addChild(Node parent, const std::string &textCp950, std::int64_t data) = 0;
    virtual void expand(Node node) = 0;
};

// The root's text.
const std::string &ForumTreeRootText();

// Replaces the sink's nodes with the tree of the archive on the connection (default when null).
void BuildForumTree(TreeSink &tree, ProgressSink &progress, Connection *connection = nullptr);

// A plain tree, for the command line and for tests.
struct ForumNode {
    std::string text; // code page 950
    std::int64_t data = 0;
    std::list<ForumNode> children; // a list: handles to nodes stay valid while siblings are added
    bool expanded = false;
};

class PlainTree : public TreeSink {
public:
    void clear() override;
    Node addRoot(const std::string &textCp950, std::int64_t data) override;
    Node addChild(Node parent, const std::string &textCp950, std::int64_t data) override;
    void expand(Node node) override;

    // The roots; a forum tree has exactly one.
    const std::list<ForumNode> &roots() const { return m_roots; }
    // One node per line, two blanks of indent per depth, " [id]" after a forum; UTF-8.
    std::string toText() const;

private:
    std::list<ForumNode> m_roots;
};

} // namespace velm
