#pragma once
// The target of a request taken apart strictly: a path and its query's parameters, percent-decoded and
// checked to be UTF-8. Anything malformed is refused rather than guessed at.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velm::serve {

struct RequestTarget {
    std::string path;                                       // decoded
    std::vector<std::pair<std::string, std::string>> query; // decoded names and values, in order

    // The first value of the parameter, or nothing.
    std::optional<std::string> value(std::string_view name) const;
    // Every value of the parameter, in order.
    std::vector<std::string> values(std::string_view name) const;
};

// Percent escapes decoded ('+' as a blank where plusIsBlank, as forms send it); nothing for a '%' without
// two hex digits, for an escaped NUL, or for a result that is not valid UTF-8.
std::optional<std::string> percentDecoded(std::string_view text, bool plusIsBlank);

// An origin-form target ("/path?query"); nothing when it is malformed.
std::optional<RequestTarget> parseRequestTarget(std::string_view target);

} // namespace velm::serve
