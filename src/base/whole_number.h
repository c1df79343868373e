#pragma once
// Whole numbers written as text: stored settings, form numbers of the search sites.
#include <string_view>

namespace velm {

// A signed decimal integer and nothing else (a leading '+' allowed); out is left alone otherwise.
bool parseWholeNumber(std::string_view text, int &out);

} // namespace velm
