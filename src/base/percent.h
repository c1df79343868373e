#pragma once
// Bytes written as hex digits: percent escapes of URIs (RFC 3986) and hex blobs. The digits are upper-case,
// as RFC 3986 recommends for escapes.
#include <string>
#include <string_view>

namespace velm {

// Which bytes a percent-encoding leaves as they are; every other byte is escaped.
using KeptByte = bool (*)(unsigned char byte);

// ALPHA, DIGIT and "-._~": the unreserved characters, which mean the same in every part of a URI.
bool isUriUnreserved(unsigned char byte);

// Appends the byte's two hex digits.
void appendHexByte(std::string &out, unsigned char byte);

// Appends the byte's escape: '%' and its two hex digits.
void appendPercentEscape(std::string &out, unsigned char byte);

// The bytes, each one that keep refuses replaced by its escape. With the default, the result is one
// segment of a URI path or a query value, whatever bytes it was made of.
std::string percentEncoded(std::string_view bytes, KeptByte keep = isUriUnreserved);

} // namespace velm
