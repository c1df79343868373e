#pragma once
// Text a user types (edit boxes, command-line arguments) is Unicode; the archive and the sites take
// Big5 or GB bytes. Simplified characters that Big5 lacks reach the archive through the GB/Big5 table,
// so a simplified keyword finds traditional posts.
#include <QString>

#include <string>
#include <string_view>

namespace velm {

// UTF-8 to Big5: a character of code page 950 keeps its Big5 bytes; one that only GBK has becomes the
// Big5 of its GBK bytes through the pair table; anything else becomes '?'.
std::string TypedToBig5(std::string_view utf8);
std::string qTypedToBig5(const QString &text);

// UTF-8 to GB: a character of code page 950 becomes the GB of its Big5 bytes through the pair table; one
// that only GBK has (or one the table lacks) keeps its GBK bytes; anything else becomes '?'.
std::string TypedToGB(std::string_view utf8);

} // namespace velm
