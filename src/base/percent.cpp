#include "base/percent.h"

namespace velm {

bool isUriUnreserved(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

void appendHexByte(std::string &out, unsigned char byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

void appendPercentEscape(std::string &out, unsigned char byte)
{
    out += '%';
    appendHexByte(out, byte);
}

std::string percentEncoded(std::string_view bytes, KeptByte keep)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (keep(byte))
            out += c;
        else
            appendPercentEscape(out, byte);
    }
    return out;
}

} // namespace velm
