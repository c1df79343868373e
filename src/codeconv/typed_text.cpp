#include "codeconv/typed_text.h"

#include "base/cp950.h"
#include "codeconv/gbbig.h"

#include <algorithm>

namespace velm {
namespace {

// The length of the UTF-8 sequence a byte starts; a stray byte counts as one.
size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

unsigned codeOf(const std::string &twoBytes)
{
    return static_cast<unsigned char>(twoBytes[0]) * 256u + static_cast<unsigned char>(twoBytes[1]);
}

std::string bytesOf(unsigned code)
{
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

bool inTable(std::span<const GBBig5Pair> table, std::int32_t GBBig5Pair::*side, unsigned code)
{
    return std::ranges::binary_search(table, static_cast<std::int32_t>(code), {}, side);
}

// One non-ASCII character in the code page given; empty when that code page has no double-byte form.
std::string doubleByte(const std::string &utf8Char, std::string (*encode)(std::string_view))
{
    std::string bytes = encode(utf8Char);
    return bytes.size() == 2 ? bytes : std::string();
}

enum class Target { Big5, GB };

std::string convertTyped(std::string_view utf8, Target target)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        const std::string ch(utf8.substr(i, sequenceLength(lead)));
        i += ch.size();
        const std::string big5 = doubleByte(ch, toCp950);
        const std::string gbk = doubleByte(ch, utf8ToGbk);
        if (target == Target::Big5) {
            if (!big5.empty())
                out += big5;
            else if (!gbk.empty() && inTable(GBToBig5Table(), &GBBig5Pair::gb, codeOf(gbk)))
                out += bytesOf(GBCodeToBig5(codeOf(gbk)));
            else
                out += '?';
        } else {
            if (!big5.empty() && inTable(Big5ToGBTable(), &GBBig5Pair::big5, codeOf(big5)))
                out += bytesOf(Big5CodeToGB(codeOf(big5)));
            else if (!gbk.empty())
                out += gbk;
            else
                out += '?';
        }
    }
    return out;
}

} // namespace

std::string TypedToBig5(std::string_view utf8)
{
    return isAscii(utf8) ? std::string(utf8) : convertTyped(utf8, Target::Big5);
}

std::string qTypedToBig5(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return TypedToBig5(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

std::string TypedToGB(std::string_view utf8)
{
    return isAscii(utf8) ? std::string(utf8) : convertTyped(utf8, Target::GB);
}

} // namespace velm
