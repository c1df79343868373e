#include "shell_core/article_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace velm;

namespace {

std::string shown(const ArticleHistory &history)
{
    return history.current() ? history.current()->topicId : std::string("-");
}

TEST(ArticleHistory, BackAndForwardThroughTheVisits)
{
    ArticleHistory history;
    EXPECT_FALSE(history.canGoBack());
    EXPECT_FALSE(history.canGoForward());
    EXPECT_EQ(history.back(), nullptr);
    EXPECT_EQ(history.forward(), nullptr);
    EXPECT_EQ(shown(history), "-");

    history.visit({"1", {}, 0, 0});
    EXPECT_FALSE(history.canGoBack());
    history.visit({"2", {"kw"}, 0, 0});
    history.current()->scrollY = 300; // the user scrolled before leaving it
    history.visit({"3", {}, 0, 0});
    EXPECT_EQ(history.size(), 3u);

    ASSERT_NE(history.back(), nullptr);
    EXPECT_EQ(shown(history), "2");
    EXPECT_EQ(history.current()->scrollY, 300);
    EXPECT_EQ(history.current()->keywords, std::vector<std::string>{"kw"});
    history.back();
    EXPECT_EQ(shown(history), "1");
    EXPECT_EQ(history.back(), nullptr); // at the start: stays
    EXPECT_EQ(shown(history), "1");
    history.forward();
    history.forward();
    EXPECT_EQ(shown(history), "3");
    EXPECT_EQ(history.forward(), nullptr);
    EXPECT_EQ(shown(history), "3");
}

TEST(ArticleHistory, ANewVisitDropsTheTopicsAhead)
{
    ArticleHistory history;
    for (const char *id : {"1", "2", "3"})
        history.visit({id, {}, 0, 0});
    history.back();
    history.back();
    history.visit({"4", {}, 0, 0});
    EXPECT_EQ(history.size(), 2u);
    EXPECT_FALSE(history.canGoForward());
    history.back();
    EXPECT_EQ(shown(history), "1");
}

TEST(ArticleHistory, TheShownTopicOpenedAgainStaysOneVisit)
{
    ArticleHistory history;
    history.visit({"1", {}, 0, 0});
    history.visit({"2", {}, 0, 0});
    history.current()->scrollY = 500;
    history.visit({"2", {"new"}, 0, 0});
    EXPECT_EQ(history.size(), 2u);
    EXPECT_EQ(history.current()->scrollY, 0); // shown again from its top
    EXPECT_EQ(history.current()->keywords, std::vector<std::string>{"new"});

    // Back, then the same topic again: the topics ahead go, as with any other visit.
    history.back();
    history.visit({"1", {}, 0, 0});
    EXPECT_EQ(history.size(), 1u);
    EXPECT_FALSE(history.canGoForward());
}

TEST(ArticleHistory, KeepsTheNewestVisitsUpToItsLimit)
{
    ArticleHistory history(3);
    for (std::size_t visits = 1; visits <= 5; ++visits) {
        history.visit({std::to_string(visits), {}, 0, 0});
        // Full at the limit, and from one past it each visit drops exactly the oldest.
        EXPECT_EQ(history.size(), std::min<std::size_t>(visits, 3)) << visits;
        ArticleHistory oldest = history;
        while (oldest.back())
            ;
        EXPECT_EQ(shown(oldest), std::to_string(visits > 3 ? visits - 2 : 1)) << visits;
    }
    EXPECT_EQ(shown(history), "5");
    history.back();
    history.back();
    EXPECT_EQ(shown(history), "3");
    EXPECT_FALSE(history.canGoBack());

    history.clear();
    EXPECT_EQ(history.size(), 0u);
    EXPECT_EQ(history.current(), nullptr);
    EXPECT_FALSE(history.canGoForward());
    history.visit({"6", {}, 0, 0});
    EXPECT_EQ(shown(history), "6");
}

} // namespace
