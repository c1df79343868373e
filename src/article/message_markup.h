#pragma once
// ConvertMessageMarkup: one stored post as the HTML of its cell in the article page.
#include "base/cp950.h"

#include <string_view>

namespace velm {

// codeSystem 1 marks a GB-coded post; forumBaseUrl (UTF-8) is where the post icons are. Never fails, and ends
// for every text.
Big5Text ConvertMessageMarkup(const Big5Text &message, int codeSystem, std::string_view forumBaseUrl);

} // namespace velm
