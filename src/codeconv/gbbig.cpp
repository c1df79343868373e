#include "codeconv/gbbig.h"

#include <array>
#include <istream>
#include <memory>
#include <ostream>
#include <vector>

namespace velm {
namespace gbbig_data {
extern const GBBig5Pair kGBToBig5[kGBBig5PairCount];
extern const GBBig5Pair kBig5ToGB[kGBBig5PairCount];
} // namespace gbbig_data

namespace {

using CodeIndex = std::array<std::uint16_t, 0x10000>;

struct Indexes {
    CodeIndex gbToBig5;
    CodeIndex big5ToGB;
};

// The two direct indexes are built once from the binary searches, so they give the same results.
const Indexes &indexes()
{
    static const std::unique_ptr<const Indexes> built = [] {
        auto idx = std::make_unique<Indexes>();
        for (unsigned code = 0; code < 0x10000; ++code) {
            idx->gbToBig5[code] = static_cast<std::uint16_t>(searchGBToBig5(code));
            idx->big5ToGB[code] = static_cast<std::uint16_t>(searchBig5ToGB(code));
        }
        return idx;
    }();
    return *built;
}

const CodeIndex &indexFor(CodeDirection direction)
{
    return direction == CodeDirection::GBToBig5 ? indexes().gbToBig5 : indexes().big5ToGB;
}

// The byte scan over one block; `pending` carries a lead byte (or -1) between blocks.
char *convertBlock(const unsigned char *in, const unsigned char *end, char *out, const CodeIndex &index, int &pending)
{
    if (pending >= 0 && in < end) {
        const unsigned code = index[(static_cast<unsigned>(pending) << 8) | *in++];
        *out++ = static_cast<char>(code >> 8);
        *out++ = static_cast<char>(code);
        pending = -1;
    }
    while (in < end) {
        const unsigned b = *in++;
        if (b < 0x80) {
            *out++ = static_cast<char>(b);
            continue;
        }
        if (in == end) {
            pending = static_cast<int>(b);
            break;
        }
        const unsigned code = index[(b << 8) | *in++];
        *out++ = static_cast<char>(code >> 8);
        *out++ = static_cast<char>(code);
    }
    return out;
}

std::string convertString(std::string_view text, CodeDirection direction)
{
    const CodeIndex &index = indexFor(direction);
    std::string result;
    result.resize(text.size());
    const auto *in = reinterpret_cast<const unsigned char *>(text.data());
    int pending = -1;
    char *end = convertBlock(in, in + text.size(), result.data(), index, pending);
    result.resize(static_cast<std::size_t>(end - result.data())); // a dangling lead is dropped
    return result;
}

// Binary search by `key`; the reference probes: middle rounded down, stop when high < low.
template <typename Key> long findEntry(std::span<const GBBig5Pair> table, unsigned code, Key key)
{
    long low = 0;
    long high = static_cast<long>(table.size()) - 1;
    while (low <= high) {
        const long middle = (low + high) / 2;
        const auto probed = static_cast<unsigned>(key(table[static_cast<std::size_t>(middle)]));
        if (probed == code)
            return middle;
        if (probed < code)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

} // namespace

std::span<const GBBig5Pair> GBToBig5Table()
{
    return {gbbig_data::kGBToBig5, kGBBig5PairCount};
}

std::span<const GBBig5Pair> Big5ToGBTable()
{
    return {gbbig_data::kBig5ToGB, kGBBig5PairCount};
}

unsigned searchGBToBig5(unsigned gbCode)
{
    const auto table = GBToBig5Table();
    long at = findEntry(table, gbCode, [](const GBBig5Pair &p) { return p.gb; });
    if (at < 0)
        return gbCode;
    // Step back to the first of the run, whichever member the search hit.
    while (at > 0 && table[static_cast<std::size_t>(at - 1)].gb == table[static_cast<std::size_t>(at)].gb)
        --at;
    return static_cast<unsigned>(table[static_cast<std::size_t>(at)].big5);
}

unsigned searchBig5ToGB(unsigned big5Code)
{
    const auto table = Big5ToGBTable();
    const long at = findEntry(table, big5Code, [](const GBBig5Pair &p) { return p.big5; });
    return at < 0 ? big5Code : static_cast<unsigned>(table[static_cast<std::size_t>(at)].gb);
}

void InitCodeTables()
{
    indexes();
}

unsigned GBCodeToBig5(unsigned gbCode)
{
    return gbCode < 0x10000 ? indexes().gbToBig5[gbCode] : gbCode;
}

unsigned Big5CodeToGB(unsigned big5Code)
{
    return big5Code < 0x10000 ? indexes().big5ToGB[big5Code] : big5Code;
}

std::string GBToBig5(std::string_view gbBytes)
{
    return convertString(gbBytes, CodeDirection::GBToBig5);
}

std::string Big5ToGB(std::string_view big5Bytes)
{
    return convertString(big5Bytes, CodeDirection::Big5ToGB);
}

bool convertStream(std::istream &in, std::ostream &out, CodeDirection direction)
{
    constexpr std::size_t kBlock = 1 << 16;
    const CodeIndex &index = indexFor(direction);
    std::vector<char> input(kBlock);
    std::vector<char> output(kBlock + 2); // a carried lead adds one character to the block
    int pending = -1;
    while (in) {
        in.read(input.data(), static_cast<std::streamsize>(input.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0)
            break;
        const auto *begin = reinterpret_cast<const unsigned char *>(input.data());
        char *end = convertBlock(begin, begin + got, output.data(), index, pending);
        if (!out.write(output.data(), end - output.data()))
            return false;
    }
    out.flush();
    return !in.bad() && static_cast<bool>(out);
}

} // namespace velm
