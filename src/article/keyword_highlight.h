#pragma once
// Marks the keywords of a search in an article page, so the user sees where the topic matched.
#include <string>
#include <string_view>
#include <vector>

namespace velm {

// Wraps every occurrence of a keyword in the page's text in <mark>…</mark>. Only text as a browser reads it
// is marked: tags and their attributes, comments, and the contents of elements read as raw text (title,
// script, style, textarea, xmp, iframe, noembed, noframes, everything after plaintext) stay as they are,
// and a character reference (&amp;, &nbsp …) is matched only as the character it stands for. Letters A–Z
// match without regard to case, as the archive's searches do; where keywords overlap at one place the
// longest is marked. Each keyword costs time in proportion to the page's size plus its own, never their product.
// Page and keywords are UTF-8; empty keywords are ignored.
std::string HighlightKeywords(std::string_view html, const std::vector<std::string> &keywords);

} // namespace velm
