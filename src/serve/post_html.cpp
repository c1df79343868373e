#include "serve/post_html.h"

#include "article/topic_link.h"

#include <algorithm>
#include <array>
#include <optional>

namespace velm::serve {
namespace {

constexpr std::array<std::string_view, 13> kUnsafeTags{"script", "iframe", "frame",   "frameset", "object",
                                                       "embed",  "applet", "form",    "meta",     "base",
                                                       "link",   "portal", "noscript"};

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Where a browser ends a tag name or an attribute name.
bool endsName(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == '/' || c == '>';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

// The name of the tag opened or closed at html[at] == '<', or empty when a browser sees no tag there.
std::string_view tagNameAt(std::string_view html, size_t at)
{
    size_t begin = at + 1;
    if (begin < html.size() && html[begin] == '/')
        ++begin;
    if (begin >= html.size() || !isAsciiAlpha(html[begin]))
        return {};
    size_t end = begin;
    while (end < html.size() && !endsName(html[end]))
        ++end;
    return html.substr(begin, end - begin);
}

// The replacement of an href value, or nothing when the value stays.
std::optional<std::string> topicHref(std::string_view value)
{
    const TopicLink link = TopicLinkId(value);
    if (!link.isTopicLink)
        return std::nullopt;
    return link.id.empty() ? std::string("#") : "/topic/" + link.id;
}

// Copies one tag starting at html[at] == '<' into out with its href values rewritten; returns the position
// after the tag. Attribute values are read as a browser reads them: quoted, or up to a blank or '>'.
size_t copyTag(std::string_view html, size_t at, std::string &out)
{
    size_t i = at + 1;
    while (i < html.size() && !endsName(html[i]))
        ++i;
    out.append(html.substr(at, i - at));
    while (i < html.size() && html[i] != '>') {
        if (isBlank(html[i]) || html[i] == '/') {
            out += html[i++];
            continue;
        }
        const size_t nameBegin = i;
        while (i < html.size() && !endsName(html[i]) && html[i] != '=')
            ++i;
        const std::string name = lowerAscii(html.substr(nameBegin, i - nameBegin));
        if (nameBegin == i) // a lone '=': a browser takes it into the next name
            ++i;
        size_t afterName = i;
        while (afterName < html.size() && isBlank(html[afterName]))
            ++afterName;
        if (afterName >= html.size() || html[afterName] != '=') {
            out.append(html.substr(nameBegin, i - nameBegin));
            continue;
        }
        size_t valueBegin = afterName + 1;
        while (valueBegin < html.size() && isBlank(html[valueBegin]))
            ++valueBegin;
        size_t valueEnd = valueBegin;
        size_t next = valueBegin;
        if (valueBegin < html.size() && (html[valueBegin] == '"' || html[valueBegin] == '\'')) {
            const size_t close = html.find(html[valueBegin], valueBegin + 1);
            valueEnd = close == std::string_view::npos ? html.size() : close;
            ++valueBegin;
            next = close == std::string_view::npos ? html.size() : close + 1;
        } else {
            while (valueEnd < html.size() && !isBlank(html[valueEnd]) && html[valueEnd] != '>')
                ++valueEnd;
            next = valueEnd;
        }
        const auto replaced = name == "href" ? topicHref(html.substr(valueBegin, valueEnd - valueBegin)) : std::nullopt;
        if (replaced)
            out.append(html.substr(nameBegin, i - nameBegin)).append("=\"").append(*replaced).append("\"");
        else
            out.append(html.substr(nameBegin, next - nameBegin));
        i = next;
    }
    return i;
}

} // namespace

std::string NeutralizeUnsafeTags(std::string_view html)
{
    std::string out;
    out.reserve(html.size() + html.size() / 64);
    size_t done = 0;
    for (size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
        const std::string name = lowerAscii(tagNameAt(html, at));
        if (std::find(kUnsafeTags.begin(), kUnsafeTags.end(), name) == kUnsafeTags.end())
            continue;
        out.append(html.substr(done, at - done)).append("&lt;");
        done = at + 1;
    }
    out.append(html.substr(done));
    return out;
}

std::string RewriteTopicLinks(std::string_view html)
{
    std::string out;
    out.reserve(html.size());
    size_t done = 0;
    for (size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', done)) {
        if (tagNameAt(html, at).empty() || html[at + 1] == '/') {
            out.append(html.substr(done, at + 1 - done));
            done = at + 1;
            continue;
        }
        out.append(html.substr(done, at - done));
        done = copyTag(html, at, out);
    }
    out.append(html.substr(done));
    return out;
}

} // namespace velm::serve
