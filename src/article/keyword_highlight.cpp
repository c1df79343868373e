#include "article/keyword_highlight.h"

#include <algorithm>
#include <cstdint>

namespace velm {
namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isAsciiAlpha(char c)
{
    return lowerAscii(c) >= 'a' && lowerAscii(c) <= 'z';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f');
}

bool isNameChar(char c)
{
    return isAsciiAlpha(c) || isDigit(c);
}

// The blanks that end a tag's name or an attribute (a CR reaches the parser as a line feed).
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// A keyword as the page's text holds it: the characters that markup escapes, escaped; letters in lower case.
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
            text += lowerAscii(c);
        }
    }
    return text;
}

// The names a browser takes as a character reference even without their ';'.
constexpr std::string_view kNamesWithoutSemicolon[] = {
    "AElig",  "AMP",    "Aacute", "Acirc",  "Agrave", "Aring",  "Atilde", "Auml",   "COPY",   "Ccedil", "ETH",
    "Eacute", "Ecirc",  "Egrave", "Euml",   "GT",     "Iacute", "Icirc",  "Igrave", "Iuml",   "LT",     "Ntilde",
    "Oacute", "Ocirc",  "Ograve", "Oslash", "Otilde", "Ouml",   "QUOT",   "REG",    "THORN",  "Uacute", "Ucirc",
    "Ugrave", "Uuml",   "Yacute", "aacute", "acirc",  "acute",  "aelig",  "agrave", "amp",    "aring",  "atilde",
    "auml",   "brvbar", "ccedil", "cedil",  "cent",   "copy",   "curren", "deg",    "divide", "eacute", "ecirc",
    "egrave", "eth",    "euml",   "frac12", "frac14", "frac34", "gt",     "iacute", "icirc",  "iexcl",  "igrave",
    "iquest", "iuml",   "laquo",  "lt",     "macr",   "micro",  "middot", "nbsp",   "not",    "ntilde", "oacute",
    "ocirc",  "ograve", "ordf",   "ordm",   "oslash", "otilde", "ouml",   "para",   "plusmn", "pound",  "quot",
    "raquo",  "reg",    "sect",   "shy",    "sup1",   "sup2",   "sup3",   "szlig",  "thorn",  "times",  "uacute",
    "ucirc",  "ugrave", "uml",    "uuml",   "yacute", "yen",    "yuml",
};

// The length of the character reference at the position ("&amp;", "&#39", "&nbsp"), or 0 when there is none.
// Where unsure it takes more rather than less: a keyword missed is harmless, a reference cut in two is not.
std::size_t referenceLength(std::string_view html, std::size_t at)
{
    std::size_t end = at + 1;
    if (end < html.size() && html[end] == '#') {
        ++end;
        const bool hex = end < html.size() && lowerAscii(html[end]) == 'x';
        const std::size_t digits = hex ? ++end : end;
        while (end < html.size() && (hex ? isHexDigit(html[end]) : isDigit(html[end])))
            ++end;
        if (end == digits)
            return 0;
        return end + (end < html.size() && html[end] == ';') - at;
    }
    constexpr std::size_t kLongestName = 32;
    while (end < html.size() && end - at <= kLongestName && isNameChar(html[end]))
        ++end;
    if (end > at + 1 && end - at <= kLongestName && end < html.size() && html[end] == ';')
        return end + 1 - at;
    const std::string_view name = html.substr(at + 1, end - at - 1);
    std::size_t longest = 0;
    for (std::string_view known : kNamesWithoutSemicolon)
        if (known.size() > longest && name.starts_with(known))
            longest = known.size();
    return longest == 0 ? 0 : longest + 1;
}

// Where a start or end tag opening at the position ends (just past its '>'), read as a browser reads it: a
// quote opens a value only after '='. An unclosed tag runs to the page's end.
std::size_t tagEnd(std::string_view html, std::size_t at)
{
    enum class State { Name, BeforeAttribute, AttributeName, AfterAttributeName, BeforeValue, Quoted, Unquoted };
    State state = State::Name;
    char quote = 0;
    for (std::size_t i = at + 1; i < html.size(); ++i) {
        const char c = html[i];
        if (c == '>' && state != State::Quoted)
            return i + 1;
        switch (state) {
        case State::Name:
        case State::Unquoted:
            if (isBlank(c) || (c == '/' && state == State::Name))
                state = State::BeforeAttribute;
            break;
        case State::BeforeAttribute:
            if (!isBlank(c) && c != '/')
                state = State::AttributeName; // '=' here begins a name
            break;
        case State::AttributeName:
        case State::AfterAttributeName:
            if (c == '=')
                state = State::BeforeValue;
            else if (c == '/')
                state = State::BeforeAttribute;
            else if (isBlank(c))
                state = State::AfterAttributeName;
            else
                state = State::AttributeName;
            break;
        case State::BeforeValue:
            if (c == '"' || c == '\'') {
                quote = c;
                state = State::Quoted;
            } else if (!isBlank(c)) {
                state = State::Unquoted;
            }
            break;
        case State::Quoted:
            if (c == quote)
                state = State::BeforeAttribute;
            break;
        }
    }
    return html.size();
}

// The lower-case name of the start tag opening at the position.
std::string tagName(std::string_view html, std::size_t at)
{
    std::string name;
    for (std::size_t i = at + 1; i < html.size() && !isBlank(html[i]) && html[i] != '/' && html[i] != '>'; ++i)
        name += lowerAscii(html[i]);
    return name;
}

// Where a comment opening at the position ends: "-->", "--!>", or at once for "<!-->" and "<!--->".
std::size_t commentEnd(std::string_view html, std::size_t at)
{
    const std::size_t body = at + 4;
    if (html.compare(body, 1, ">") == 0)
        return body + 1;
    if (html.compare(body, 2, "->") == 0)
        return body + 2;
    for (std::size_t i = body; i + 2 < html.size(); ++i) {
        if (html[i] != '-' || html[i + 1] != '-')
            continue;
        if (html[i + 2] == '>')
            return i + 3;
        if (html.compare(i + 2, 2, "!>") == 0)
            return i + 4;
    }
    return html.size();
}

// Where "<!x", "<?x" or "</ x" ends: at the first '>', whatever quotes come before it.
std::size_t bogusCommentEnd(std::string_view html, std::size_t at)
{
    const std::size_t close = html.find('>', at + 1);
    return close == std::string_view::npos ? html.size() : close + 1;
}

// The position of the end tag "</name" (followed by a blank, '/' or '>'), without regard to case, or the end.
std::size_t findEndTag(std::string_view html, std::size_t from, const std::string &name)
{
    for (std::size_t i = html.find("</", from); i != std::string_view::npos; i = html.find("</", i + 1)) {
        const std::size_t after = i + 2 + name.size();
        if (after >= html.size())
            break;
        if ((isBlank(html[after]) || html[after] == '/' || html[after] == '>') &&
            std::equal(name.begin(), name.end(), html.begin() + i + 2,
                       [](char n, char h) { return n == lowerAscii(h); }))
            return i;
    }
    return html.size();
}

// Where the text that follows a start tag of this name resumes: the browser reads these elements' contents
// as raw text, so a mark in them would show as text, change a program or a value, or never show.
std::size_t rawTextEnd(std::string_view html, std::size_t from, const std::string &name)
{
    // script, style, xmp, iframe, noembed, noframes: raw text; title, textarea: text without elements.
    static constexpr std::string_view kRawText[] = {"script",  "style",    "xmp",   "iframe",
                                                    "noembed", "noframes", "title", "textarea"};
    // noscript is not among them: with scripts off, as in the article view, its contents are ordinary markup.
    if (name == "plaintext") // no end tag ends it
        return html.size();
    if (std::find(std::begin(kRawText), std::end(kRawText), name) != std::end(kRawText))
        return findEndTag(html, from, name);
    return from;
}

// Where the markup opening at the position ends (a tag with any raw text after it, a comment, a
// declaration), or the position itself when the '<' there is text.
std::size_t markupEnd(std::string_view html, std::size_t at)
{
    if (at + 1 >= html.size())
        return at;
    const char next = html[at + 1];
    if (isAsciiAlpha(next)) {
        const std::size_t end = tagEnd(html, at);
        return end == html.size() ? end : rawTextEnd(html, end, tagName(html, at));
    }
    if (next == '!')
        return html.compare(at, 4, "<!--") == 0 ? commentEnd(html, at) : bogusCommentEnd(html, at);
    if (next == '?')
        return bogusCommentEnd(html, at);
    if (next == '/' && at + 2 < html.size())
        return isAsciiAlpha(html[at + 2]) ? tagEnd(html, at) : bogusCommentEnd(html, at);
    return at;
}

// For each position of the page, 1 + the index of the longest word that starts there (0: none). Each word
// is found by Knuth-Morris-Pratt, so the work grows with the page's size, not with page times word.
std::vector<std::uint32_t> wordStarts(std::string_view html, const std::vector<std::string> &longestFirst)
{
    std::vector<std::uint32_t> starts(html.size(), 0);
    for (std::size_t w = 0; w < longestFirst.size(); ++w) {
        const std::string &word = longestFirst[w];
        std::vector<std::size_t> fallback(word.size(), 0);
        for (std::size_t i = 1, k = 0; i < word.size(); ++i) {
            while (k > 0 && word[i] != word[k])
                k = fallback[k - 1];
            if (word[i] == word[k])
                ++k;
            fallback[i] = k;
        }
        for (std::size_t i = 0, k = 0; i < html.size(); ++i) {
            const char c = lowerAscii(html[i]);
            while (k > 0 && c != word[k])
                k = fallback[k - 1];
            if (c == word[k])
                ++k;
            if (k == word.size()) {
                std::uint32_t &start = starts[i + 1 - word.size()];
                if (start == 0)
                    start = static_cast<std::uint32_t>(w + 1);
                k = fallback[k - 1];
            }
        }
    }
    return starts;
}

} // namespace

std::string HighlightKeywords(std::string_view html, const std::vector<std::string> &keywords)
{
    std::vector<std::string> words;
    for (const std::string &keyword : keywords)
        if (!keyword.empty())
            words.push_back(asPageText(keyword));
    std::sort(words.begin(), words.end(), [](const std::string &a, const std::string &b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
    words.erase(std::unique(words.begin(), words.end()), words.end());
    if (words.empty())
        return std::string(html);
    const std::vector<std::uint32_t> starts = wordStarts(html, words);

    std::string out;
    out.reserve(html.size() + html.size() / 8);
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < html.size()) {
        if (html[i] == '<') {
            const std::size_t end = markupEnd(html, i);
            if (end != i) {
                i = end;
                continue;
            }
        }
        if (const std::uint32_t word = starts[i]) {
            const std::size_t length = words[word - 1].size();
            out.append(html.substr(copied, i - copied)).append("<mark>").append(html.substr(i, length));
            out.append("</mark>");
            i += length;
            copied = i;
            continue;
        }
        // A character reference is one character: no keyword starts inside it.
        i += html[i] == '&' ? std::max<std::size_t>(referenceLength(html, i), 1) : 1;
    }
    out.append(html.substr(copied));
    return out;
}

} // namespace velm
