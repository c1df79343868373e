#pragma once
// ConvertMessageMarkup: one stored post as the HTML of its cell in the article page.
#include <string>
#include <string_view>

namespace velm {

// Code page 950 in and out; codeSystem 1 marks a GB-coded post. Never fails, and ends for every text.
std::string ConvertMessageMarkup(std::string_view messageCp950, int codeSystem, const std::string &forumBaseUrl);

} // namespace velm
