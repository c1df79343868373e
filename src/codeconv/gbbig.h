#pragma once
// GBBIG: GB <-> Big5 conversion by the built-in table of 13,468 character pairs.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace velm {

// One pair of the table; a code is lead byte * 256 + trail byte.
struct GBBig5Pair {
    std::int32_t gb;
    std::int32_t big5;
};

inline constexpr std::size_t kGBBig5PairCount = 13468;

// Readies the lookups (a direct index over all 65,536 codes, built from the binary searches).
// Idempotent and thread-safe; every conversion calls it itself, so calling it first is optional.
void InitCodeTables();

// The Big5 code of a GB code (first of its run), or the argument unchanged when it is not in the table.
unsigned GBCodeToBig5(unsigned gbCode);
// The GB code of a Big5 code, or the argument unchanged; 0xF9D6-0xF9DC give 0x3F3F ("??").
unsigned Big5CodeToGB(unsigned big5Code);

// Byte strings of either code page: bytes below 0x80 pass, a lead byte takes the next byte as trail
// whatever it is, and a lead byte at the very end is dropped.
std::string GBToBig5(std::string_view gbBytes);
std::string Big5ToGB(std::string_view big5Bytes);

// Both orders of the pair table: by GB code (runs in conversion order) and strictly by Big5 code.
std::span<const GBBig5Pair> GBToBig5Table();
std::span<const GBBig5Pair> Big5ToGBTable();

// The reference lookups (binary search, step back to the first of a run);
// the fast path is built from these, and tests compare the two over every code.
unsigned searchGBToBig5(unsigned gbCode);
unsigned searchBig5ToGB(unsigned big5Code);

// `velm gb2big5` / `velm big52gb`: converts a byte stream block by block, carrying a lead byte
// across block ends and dropping one left at the end. False when reading or writing failed.
enum class CodeDirection { GBToBig5, Big5ToGB };
bool convertStream(std::istream &in, std::ostream &out, CodeDirection direction);

} // namespace velm
