#pragma once
// The lines the reader helper writes for the program that waits for it, on a descriptor libmdb's printing never
// reaches.
#include <string_view>

namespace velm::jet::protocol {

inline constexpr std::string_view kHelperName = "velm-jet-reader";
inline constexpr int kDescriptor = 3;

inline constexpr std::string_view kTables = "TABLES ";          // + number of tables
inline constexpr std::string_view kTable = "TABLE ";            // + table name (UTF-8)
inline constexpr std::string_view kRows = "ROWS ";              // + rows copied so far in the table
inline constexpr std::string_view kDone = "DONE";               // the output file is complete and closed
inline constexpr std::string_view kReadFailed = "FAIL-READ ";   // + reason (UTF-8): the Jet file is at fault
inline constexpr std::string_view kWriteFailed = "FAIL-WRITE "; // + reason (UTF-8): the output is at fault

inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

} // namespace velm::jet::protocol
