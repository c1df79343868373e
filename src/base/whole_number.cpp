#include "base/whole_number.h"

#include <charconv>

namespace velm {

bool parseWholeNumber(std::string_view text, int &out)
{
    const char *begin = text.data();
    const char *end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end)
        return false;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return false;
    out = value;
    return true;
}

} // namespace velm
