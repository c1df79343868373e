#include "article/message_markup.h"

#include "base/web_address.h"
#include "codeconv/gbbig.h"

#include <algorithm>

namespace velm {
namespace {

// One unit per character of the Big5 text: a single byte as itself, a double-byte character as
// lead * 256 + trail. Markup is plain ASCII, so a trail byte such as '[' can never match it.
using Chars = std::u16string;
using CharsView = std::u16string_view;
constexpr size_t npos = Chars::npos;

constexpr CharsView kLabelledOpen = u"[url=";
constexpr CharsView kAddressOpen = u"[url]";
constexpr CharsView kLinkClose = u"[/url]";
constexpr CharsView kAnchorOpen = u"<a href=";
constexpr CharsView kAnchorClose = u"</a>";
constexpr CharsView kAddressStart = u"http://";
constexpr CharsView kIconTag = u"<img src=icon_";

bool isLead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

bool isTrail(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFE);
}

// A stray lead byte stays a character of its own, so no byte is ever lost or joined wrongly.
Chars decode(std::string_view bytes)
{
    Chars chars;
    chars.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (isLead(c) && i + 1 < bytes.size() && isTrail(static_cast<unsigned char>(bytes[i + 1]))) {
            chars += static_cast<char16_t>(c << 8 | static_cast<unsigned char>(bytes[++i]));
        } else {
            chars += static_cast<char16_t>(c);
        }
    }
    return chars;
}

std::string encode(CharsView chars)
{
    std::string bytes(chars.size() * 2, '\0');
    size_t n = 0;
    for (const char16_t c : chars) {
        if (c > 0xFF)
            bytes[n++] = static_cast<char>(c >> 8);
        bytes[n++] = static_cast<char>(c & 0xFF);
    }
    bytes.resize(n);
    return bytes;
}

bool isBlankOrControl(char16_t c)
{
    return c <= 32;
}

bool contains(CharsView text, CharsView what)
{
    return text.find(what) != npos;
}

// First occurrence at or after `from`, skipping the search when the last occurrence lies before it.
size_t findFrom(const Chars &text, CharsView what, size_t from, size_t lastAt)
{
    return lastAt == npos || lastAt < from ? npos : text.find(what, from);
}

// A pass never copies an opener of its own kind: the one pass that would (an unclosed "[url=" whose
// address holds another "[url=") is the one that never ends, so that opener stays as written.
Chars labelledLinks(Chars text)
{
    if (!contains(text, kLabelledOpen))
        return text;
    Chars out;
    size_t done = 0;
    size_t lastBracket = text.rfind(u']');
    size_t lastClose = text.rfind(kLinkClose);
    for (size_t p; (p = text.find(kLabelledOpen, done)) != npos;) {
        const size_t q = findFrom(text, u"]", p, lastBracket);
        const size_t r = findFrom(text, kLinkClose, p, lastClose);
        const size_t addressStart = p + kLabelledOpen.size();
        const CharsView view(text);
        const CharsView address = q == npos ? CharsView() : view.substr(addressStart, q - addressStart);
        CharsView label;
        size_t rest = addressStart;
        if (r != npos) {
            if (q + 1 < r)
                label = view.substr(q + 1, r - q - 1);
            rest = r + kLinkClose.size();
        } else if (contains(address, kLabelledOpen)) {
            out.append(view.substr(done, addressStart - done));
            done = addressStart;
            continue;
        }
        Chars anchor;
        anchor.reserve(address.size() + label.size() + 13);
        anchor.append(kAnchorOpen).append(address).append(u">").append(label).append(kAnchorClose);
        out.append(view.substr(done, p - done));
        if (contains(anchor, kLabelledOpen)) {
            // The next pass starts inside the new anchor, so it goes back into the working text.
            text = anchor + text.substr(rest);
            done = 0;
            lastBracket = text.rfind(u']');
            lastClose = text.rfind(kLinkClose);
        } else {
            out += anchor;
            done = rest;
        }
    }
    out.append(CharsView(text).substr(done));
    return out;
}

// The same rule as for labelled links: a closed link whose address holds "[url]" would be copied
// twice, doubling that opener on every pass, so the outer opener stays as written instead.
Chars addressLinks(Chars text)
{
    if (!contains(text, kAddressOpen))
        return text;
    Chars out;
    const CharsView view(text);
    const size_t lastClose = text.rfind(kLinkClose);
    size_t done = 0;
    for (size_t p; (p = text.find(kAddressOpen, done)) != npos;) {
        const size_t addressStart = p + kAddressOpen.size();
        const size_t r = findFrom(text, kLinkClose, p, lastClose);
        if (r == npos) {
            out.append(view.substr(done, p - done)).append(kAnchorOpen).append(u">").append(kAnchorClose);
            done = addressStart;
            continue;
        }
        const CharsView address = view.substr(addressStart, r - addressStart);
        if (contains(address, kAddressOpen)) {
            out.append(view.substr(done, addressStart - done));
            done = addressStart;
            continue;
        }
        out.append(view.substr(done, p - done)).append(kAnchorOpen).append(address).append(u">");
        out.append(address).append(kAnchorClose);
        done = r + kLinkClose.size();
    }
    out.append(view.substr(done));
    return out;
}

bool endsAddress(char16_t c)
{
    return isBlankOrControl(c) || c == u'<' || c == u'\'' || c == u'"' || c == u'[' || c == u',';
}

Chars bareAddresses(Chars text)
{
    if (!contains(text, kAddressStart))
        return text;
    Chars out;
    const CharsView view(text);
    size_t done = 0;
    // The `count` characters before position h of the text as rewritten so far.
    auto before = [&](size_t h, size_t count) {
        Chars window;
        const size_t fromText = std::min(count, h - done);
        const size_t fromOut = std::min(count - fromText, out.size());
        window.append(CharsView(out).substr(out.size() - fromOut));
        window.append(view.substr(h - fromText, fromText));
        return window;
    };
    for (size_t k = 0, h; (h = text.find(kAddressStart, k)) != npos;) {
        k = h + 10;
        if (contains(before(h, 6), u"href=") || contains(before(h, 5), u"src="))
            continue;
        size_t end = h;
        while (end < text.size() && !endsAddress(text[end]))
            ++end;
        const CharsView address = view.substr(h, end - h);
        out.append(view.substr(done, h - done)).append(u"<a href=\"").append(address).append(u"\">");
        out.append(address).append(kAnchorClose);
        done = k = end;
    }
    out.append(view.substr(done));
    return out;
}

// A tag with no blank or control character after it takes its name to the end of the text,
// as a bare address does.
Chars iconSources(Chars text, CharsView baseUrl)
{
    if (!contains(text, kIconTag))
        return text;
    Chars out;
    const CharsView view(text);
    size_t done = 0;
    for (size_t g; (g = text.find(kIconTag, done)) != npos;) {
        size_t end = g + 5;
        while (end < text.size() && !isBlankOrControl(text[end]))
            ++end;
        const size_t name = g + 9;
        out.append(view.substr(done, g - done)).append(u"<img src=\"").append(baseUrl);
        out.append(view.substr(name, end - name)).append(u"\" ");
        done = end;
    }
    out.append(view.substr(done));
    return out;
}

CharsView trimmed(CharsView text)
{
    while (!text.empty() && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

// Each CR LF becomes a line break. The blanks that start a line (the indentation of code) become
// non-breaking spaces, which the page keeps where it would fold ordinary ones into one; a tab counts
// as four. After a "<br>" the browser is never inside a tag, so markup that goes on there is unharmed.
Chars lineBreaks(CharsView text)
{
    Chars out;
    out.reserve(text.size() + text.size() / 16);
    bool lineStart = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            out += u"<br>";
            ++i;
            lineStart = true;
        } else if (lineStart && text[i] == u' ') {
            out += u"&nbsp;";
        } else if (lineStart && text[i] == u'\t') {
            out += u"&nbsp;&nbsp;&nbsp;&nbsp;";
        } else {
            out += text[i];
            lineStart = false;
        }
    }
    return out;
}

} // namespace

Big5Text ConvertMessageMarkup(const Big5Text &message, int codeSystem, std::string_view forumBaseUrl)
{
    const std::string &messageCp950 = message.bytes();
    Chars text = codeSystem == 1 ? decode(GBToBig5(messageCp950)) : decode(messageCp950);
    text = labelledLinks(std::move(text));
    text = addressLinks(std::move(text));
    text = bareAddresses(std::move(text));
    // The page may be read in any code page: the icons' address goes in its ASCII form.
    text = iconSources(std::move(text), decode(wireAddress(forumBaseUrl)));
    return Big5Text(encode(lineBreaks(trimmed(text))));
}

} // namespace velm
