#pragma once
// Every failure travels as this exception, carrying its message as code page 950 text.
#include <stdexcept>
#include <string>

namespace velm {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string &cp950Message) : std::runtime_error(cp950Message) {}
    // The message as UTF-8, for terminals and for widgets.
    std::string utf8() const;
};

// Raises an Error whose message is given as UTF-8 (source literals, library messages).
[[noreturn]] void raiseUtf8(const std::string &utf8Message);

} // namespace velm
