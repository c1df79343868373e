#pragma once
// A package file made by a test: a 4-byte little-endian length, then one zlib stream of the database file.
#include <zlib.h>

#include <cstdint>
#include <string>

namespace velm::test {

inline std::string packageBytes(const std::string &database, int level = 6)
{
    uLongf size = compressBound(database.size());
    std::string stream(size, '\0');
    compress2(reinterpret_cast<Bytef *>(stream.data()), &size, reinterpret_cast<const Bytef *>(database.data()),
              database.size(), level);
    stream.resize(size);
    const auto n = static_cast<std::uint32_t>(database.size());
    return std::string{static_cast<char>(n & 0xff), static_cast<char>(n >> 8 & 0xff), static_cast<char>(n >> 16 & 0xff),
                       static_cast<char>(n >> 24)} +
           stream;
}

} // namespace velm::test
