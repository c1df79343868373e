#pragma once
// How Jet field definitions and stored bytes become SQLite declarations and values.
#include "sqlite/sqlite_db.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velm::jet {

// What a Jet column holds; the numbers are the type codes stored in the table definition.
enum class FieldType : int {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    LongInteger = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    Ole = 0x0b,
    Memo = 0x0c,
    ReplicationId = 0x0f,
    Decimal = 0x10,
};

// False for type codes this reader does not know (complex fields, damaged definitions).
bool isKnownFieldType(int typeCode);

// The Jet type name kept in the SQLite declaration (VARCHAR(50), LONGTEXT...); size is in bytes as stored.
std::string columnDeclaration(FieldType type, int size, int precision, int scale, bool jet3);

// A table or column name as an SQL identifier in double quotes.
using sqlite::quoteIdentifier;

// Jet 4 text (UTF-16LE, or the compressed form that starts FF FE) appended to out as UTF-8.
void appendJet4Text(std::string &out, const unsigned char *data, std::size_t size);

// Jet 3 text (code page 950 bytes) appended to out as UTF-8.
void appendJet3Text(std::string &out, const unsigned char *data, std::size_t size);

// Days since 1899-12-30 as "YYYY-MM-DD HH:MM:SS"; nothing outside Jet's calendar (years 100 to 9999).
std::optional<std::string> formatJetDate(double days);

// A replication id (16 bytes as stored) in the braced, upper-case form Jet shows.
std::string formatGuid(const unsigned char *bytes);

// Currency is a count of ten-thousandths in 64 bits.
double currencyValue(std::int64_t tenThousandths);

} // namespace velm::jet
