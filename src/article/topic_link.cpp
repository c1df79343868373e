#include "article/topic_link.h"

#include <algorithm>

namespace velm {
namespace {

constexpr std::string_view kTopicPage = "TOPIC.ASP?TOPIC_ID=";
constexpr std::string_view kIdKey = "TOPIC_ID=";

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

TopicLink TopicLinkId(std::string_view url)
{
    std::string upperUrl(url);
    std::transform(upperUrl.begin(), upperUrl.end(), upperUrl.begin(), upper);
    TopicLink link;
    if (upperUrl.find(kTopicPage) == std::string::npos)
        return link;
    link.isTopicLink = true;
    // Further query parameters after the number are no part of the id.
    const auto idStart = upperUrl.begin() + static_cast<std::ptrdiff_t>(upperUrl.find(kIdKey) + kIdKey.size());
    link.id.assign(idStart, std::find_if_not(idStart, upperUrl.end(), isDigit));
    return link;
}

} // namespace velm
