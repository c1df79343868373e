#pragma once
// Code page 950 (Big5) is the text of the archive and of the interface in core code.
#include <string>
#include <string_view>
#include <utility>

namespace velm {

// Code page 950 text where it crosses from one module to another. It is made only on purpose, from bytes
// known to be code page 950 or by converting UTF-8, so it never passes for UTF-8 (an address, a file name,
// SQL for SQLite, a QString) without a conversion: the compiler refuses the mix-up.
class Big5Text {
public:
    Big5Text() = default;
    explicit Big5Text(std::string bytes) : m_bytes(std::move(bytes)) {}
    // Characters without a Big5 form become '?'.
    static Big5Text fromUtf8(std::string_view utf8);
    // Bytes that form no character become U+FFFD.
    std::string toUtf8() const;

    const std::string &bytes() const & { return m_bytes; }
    std::string bytes() && { return std::move(m_bytes); }
    bool empty() const { return m_bytes.empty(); }
    bool operator==(const Big5Text &) const = default;

private:
    std::string m_bytes;
};

// UTF-8 to code page 950 bytes; characters without a Big5 form become '?'.
std::string toCp950(std::string_view utf8);

// UTF-8 to code page 950 text of an HTML page: characters without a Big5 form become numeric character
// references ("&#32500;"), so the page shows them as written.
std::string toCp950PageText(std::string_view utf8);

// Code page 950 bytes to UTF-8; bytes that form no character become U+FFFD.
std::string fromCp950(std::string_view cp950);

// GBK bytes (the GB code page) to UTF-8.
std::string fromGbk(std::string_view gbk);

// UTF-8 to GBK bytes; characters without a GBK form become '?'.
std::string utf8ToGbk(std::string_view utf8);

// True when every byte is below 0x80: such text is the same in both encodings.
bool isAscii(std::string_view text);

} // namespace velm

// A UTF-8 source literal as code page 950 bytes, converted once for the whole run.
#define B5(literal)                                                                                                    \
    ([]() -> const std::string & {                                                                                     \
        static const std::string converted = ::velm::toCp950(literal);                                                 \
        return converted;                                                                                              \
    }())
