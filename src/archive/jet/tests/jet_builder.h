#pragma once
// Small Jet 3 and Jet 4 files for the tests, holding only what a reader needs (no indexes, no properties).
#include "archive/jet/jet_values.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velm::jet::testing {

struct BuiltColumn {
    std::string name; // UTF-8
    FieldType type = FieldType::Text;
    int size = 0; // text: characters; binary: bytes; otherwise unused
    int precision = 0;
    int scale = 0;
};

// A field as stored: its bytes (a boolean: "\1" for yes), or nothing for null.
using StoredField = std::optional<std::string>;

struct BuiltTable {
    std::string name; // UTF-8
    std::vector<BuiltColumn> columns;
    std::vector<std::vector<StoredField>> rows;
};

std::string buildJetFile(bool jet3, const std::vector<BuiltTable> &tables);

// Stored forms of values.
std::string littleEndian(std::uint64_t value, int bytes);
std::string singleBytes(float value);
std::string doubleBytes(double value);
std::string decimalBytes(bool negative, std::uint64_t magnitude);
// Text as each version stores it: UTF-16LE for Jet 4, code page 950 for Jet 3.
std::string storedText(bool jet3, const std::string &utf8);
// Jet 4's compressed form of text whose characters all lie below U+0100 (given as Latin-1 bytes).
std::string compressedText(const std::string &latin1);

} // namespace velm::jet::testing
