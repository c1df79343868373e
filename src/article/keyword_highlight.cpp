#include "article/keyword_highlight.h"

#include <algorithm>
#include <cctype>

namespace velm {
namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view word)
{
    if (text.size() - at < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lowerAscii(text[at + i]) != lowerAscii(word[i]))
            return false;
    return true;
}

// A keyword as the page's text holds it: the characters that markup escapes, escaped.
std::string asPageText(std::string_view keyword)
{
    std::string text;
    for (char c : keyword) {
        switch (c) {
        case '&':
            text += "&amp;";
            break;
        case '<':
            text += "&lt;";
            break;
        case '>':
            text += "&gt;";
            break;
        default:
            text += c;
        }
    }
    return text;
}

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// The length of a character reference at the position ("&amp;", "&#39;"), or 0 when there is none.
std::size_t referenceLength(std::string_view html, std::size_t at)
{
    std::size_t end = at + 1;
    if (end < html.size() && html[end] == '#')
        ++end;
    const std::size_t nameStart = end;
    while (end < html.size() && end - at < 32 && isNameChar(html[end]))
        ++end;
    if (end == nameStart || end >= html.size() || html[end] != ';')
        return 0;
    return end + 1 - at;
}

// Where a tag opening at the position ends (just past its '>'); quoted attribute values may hold '>'.
std::size_t tagEnd(std::string_view html, std::size_t at)
{
    char quote = 0;
    for (std::size_t i = at + 1; i < html.size(); ++i) {
        const char c = html[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
}

// The lower-case name of the tag opening at the position ("/b" gives "b").
std::string tagName(std::string_view html, std::size_t at)
{
    std::size_t i = at + 1;
    if (i < html.size() && html[i] == '/')
        ++i;
    std::string name;
    while (i < html.size() && isNameChar(html[i]))
        name += lowerAscii(html[i++]);
    return name;
}

bool opensTag(std::string_view html, std::size_t at)
{
    if (at + 1 >= html.size())
        return false;
    const char next = html[at + 1];
    return std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!' || next == '?';
}

// The position of the end tag "</name" from the position on, without regard to case, or the page's end.
std::size_t findEndTag(std::string_view html, std::size_t from, const std::string &name)
{
    const std::string end = "</" + name;
    for (std::size_t i = html.find('<', from); i != std::string_view::npos; i = html.find('<', i + 1))
        if (startsWithNoCase(html, i, end) && (i + end.size() == html.size() || !isNameChar(html[i + end.size()])))
            return i;
    return html.size();
}

} // namespace

std::string HighlightKeywords(std::string_view html, const std::vector<std::string> &keywords)
{
    std::vector<std::string> words;
    for (const std::string &keyword : keywords)
        if (!keyword.empty())
            words.push_back(asPageText(keyword));
    std::sort(words.begin(), words.end(),
              [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
    words.erase(std::unique(words.begin(), words.end()), words.end());
    if (words.empty())
        return std::string(html);

    std::string out;
    out.reserve(html.size() + html.size() / 8);
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<' && html.compare(i, 4, "<!--") == 0) {
            const std::size_t close = html.find("-->", i + 4);
            const std::size_t end = close == std::string_view::npos ? html.size() : close + 3;
            out.append(html.substr(i, end - i));
            i = end;
            continue;
        }
        if (c == '<' && opensTag(html, i)) {
            std::size_t end = tagEnd(html, i);
            const std::string name = html[i + 1] == '/' ? std::string() : tagName(html, i);
            // Text in these elements is no page text: it is a window title, a program or a form's value.
            if (name == "title" || name == "script" || name == "style" || name == "textarea")
                end = std::max(end, findEndTag(html, end, name));
            out.append(html.substr(i, end - i));
            i = end;
            continue;
        }
        const auto word = std::find_if(words.begin(), words.end(),
                                       [&](const std::string &w) { return startsWithNoCase(html, i, w); });
        if (word != words.end()) {
            out += "<mark>";
            out.append(html.substr(i, word->size()));
            out += "</mark>";
            i += word->size();
            continue;
        }
        // A character reference is one character: no keyword starts inside it.
        const std::size_t step = c == '&' ? std::max<std::size_t>(referenceLength(html, i), 1) : 1;
        out.append(html.substr(i, step));
        i += step;
    }
    return out;
}

} // namespace velm
