// Commands over the archive itself.
#include "session.h"

#include "forum_tree.h"
#include "progress.h"

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

} // namespace

std::vector<CliCommand> archiveCommands()
{
    return {
        {"tree", "  tree                 the forum tree: one node per line, two blanks of indent per depth,\n"
                 "                       a forum's line ends with its id in brackets\n",
         &tree},
    };
}

} // namespace velm
