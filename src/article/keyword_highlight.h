#pragma once
// Marks the keywords of a search in an article page, so the user sees where the topic matched.
#include <string>
#include <string_view>
#include <vector>

namespace velm {

// Wraps every occurrence of a keyword in the page's text in <mark>…</mark>. Only text is marked: tags and
// their attributes, comments, and the contents of title, script, style and textarea stay as they are, and a
// character reference (&amp; …) is matched only as the character it stands for. Letters A–Z match without
// regard to case, as the archive's searches do; where keywords overlap at one place the longest is marked.
// Page and keywords are UTF-8; empty keywords are ignored.
std::string HighlightKeywords(std::string_view html, const std::vector<std::string> &keywords);

} // namespace velm
