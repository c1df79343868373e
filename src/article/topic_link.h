#pragma once
// Which navigations of the article view open a topic from the archive instead of the web.
#include <string>
#include <string_view>

namespace velm {

struct TopicLink {
    // The address names the forum's topic page: the view must not navigate, whether or not an id follows.
    bool isTopicLink = false;
    // The topic id's digits; empty when the link carries no usable id.
    std::string id;
};

// A link is a topic link when it contains "TOPIC.ASP?TOPIC_ID=" in any letter case, on any host.
TopicLink TopicLinkId(std::string_view url);

} // namespace velm
