#include "article/topic_link.h"

#include <gtest/gtest.h>

using namespace velm;

namespace {

TEST(TopicLink, WhichAddressesOpenATopicAndWithWhichId)
{
    struct Case {
        const char *url;
        bool isTopicLink;
        const char *id;
    };
    const Case cases[] = {
        {"http://velm.example/topic.asp?topic_id=1001", true, "1001"},
        {"HTTP://OTHER.HOST/TOPIC.ASP?TOPIC_ID=1002", true, "1002"},
        {"http://velm.example/Topic.Asp?Topic_Id=1003&whichpage=2", true, "1003"},
        {"http://velm.example/topic.asp?topic_id=12abc", true, "12"},
        {"http://velm.example/topic.asp?topic_id=", true, ""},
        {"http://velm.example/topic.asp?topic_id=abc", true, ""},
        {"http://velm.example/topic.asp?topic_id=-5", true, ""},
        // The id follows the first "TOPIC_ID=" of the address, wherever the topic page stands.
        {"http://x/a.asp?topic_id=5&next=topic.asp?topic_id=7", true, "5"},
        {"http://velm.example/link.asp?topic_id=1002", false, ""},
        {"http://velm.example/topic.asp?forum_id=1&topic_id=3", false, ""},
        {"about:blank", false, ""},
        {"", false, ""},
    };
    for (const Case &c : cases) {
        const TopicLink link = TopicLinkId(c.url);
        EXPECT_EQ(link.isTopicLink, c.isTopicLink) << c.url;
        EXPECT_EQ(link.id, c.id) << c.url;
    }
}

} // namespace
