#include "archive/tests/test_archive.h"

#include "archive/forum_tree.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/progress.h"

#include <gtest/gtest.h>

using namespace velm;

namespace {

// Builds the tree of an archive made from the statements; returns the tree as text.
std::string treeOf(const std::string &statements, SilentProgress *progressOut = nullptr)
{
    QTemporaryDir dir;
    Connection connection;
    connection.setConnectionText(test::makeArchive(dir, statements));
    connection.open();
    PlainTree tree;
    SilentProgress progress;
    BuildForumTree(tree, progress, &connection);
    if (progressOut)
        *progressOut = progress;
    EXPECT_EQ(tree.roots().size(), 1u);
    EXPECT_TRUE(tree.roots().front().expanded);
    return tree.toText();
}

TEST(ForumTree, EmptyArchiveIsTheRootAlone)
{
    SilentProgress progress;
    EXPECT_EQ(treeOf("", &progress), "Velm討論區\n");
    EXPECT_EQ(progress.maximum(), 0);
    EXPECT_FALSE(progress.visible());
    EXPECT_EQ(progress.caption(), toCp950("資料載入中"));
}

TEST(ForumTree, OrderOfChildren)
{
    SilentProgress progress;
    const std::string text = treeOf(R"sql(
        INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top A', 2, 1);
        INSERT INTO FORUM_CATEGORY VALUES (2, 0, 'Top B', 1, 1);
        INSERT INTO FORUM_CATEGORY VALUES (12, 1, 'Sub order 1', 1, 1);
        INSERT INTO FORUM_CATEGORY VALUES (11, 1, 'Sub order 2', 2, 1);
        INSERT INTO FORUM_FORUM VALUES (105, 1, 'Forum 105', NULL);
        INSERT INTO FORUM_FORUM VALUES (104, 1, 'Forum 104', NULL);
        INSERT INTO FORUM_FORUM VALUES (110, 0, 'Under root', NULL);
        INSERT INTO FORUM_FORUM VALUES (103, 11, 'Deep', NULL);
    )sql",
                                    &progress);
    // Sub-categories by CAT_ORDER, each with its subtree, then forums by id; root forums come last.
    EXPECT_EQ(text, "Velm討論區\n"
                    "  Top B\n"
                    "  Top A\n"
                    "    Sub order 1\n"
                    "    Sub order 2\n"
                    "      Deep [103]\n"
                    "    Forum 104 [104]\n"
                    "    Forum 105 [105]\n"
                    "  Under root [110]\n");
    EXPECT_EQ(progress.maximum(), 8);
    EXPECT_EQ(progress.position(), 8);
}

TEST(ForumTree, UnreachableRowsAreLeftOut)
{
    const std::string text = treeOf(R"sql(
        INSERT INTO FORUM_CATEGORY VALUES (1, 0, 'Top', 1, 1);
        INSERT INTO FORUM_CATEGORY VALUES (20, 99, 'Orphan', 1, 1);
        INSERT INTO FORUM_FORUM VALUES (111, 20, 'Under orphan', NULL);
        INSERT INTO FORUM_FORUM VALUES (112, 77, 'Missing category', NULL);
    )sql");
    EXPECT_EQ(text, "Velm討論區\n  Top\n");
}

TEST(ForumTree, LoopingCategoriesEnd)
{
    // A category under itself, a repeated id under its twin, and a category numbered 0.
    const std::string text = treeOf(R"sql(
        INSERT INTO FORUM_CATEGORY VALUES (5, 0, 'Five', 1, 1);
        INSERT INTO FORUM_CATEGORY VALUES (5, 5, 'Five again', 1, 1);
        INSERT INTO FORUM_CATEGORY VALUES (6, 6, 'Own parent', 2, 1);
        INSERT INTO FORUM_CATEGORY VALUES (0, 0, 'Zero', 3, 1);
        INSERT INTO FORUM_FORUM VALUES (101, 5, 'Forum', NULL);
    )sql");
    EXPECT_EQ(text, "Velm討論區\n"
                    "  Five\n"
                    "    Five again\n"
                    "    Forum [101]\n"
                    "  Zero\n");
}

} // namespace
