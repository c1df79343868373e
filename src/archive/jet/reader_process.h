#pragma once
// Running the reader helper (velm-jet-reader) and waiting for it, with its progress passed on.
#include "base/progress.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace velm::jet {

// Beside the running program, or in the libexec folder of an install (<program folder>/../libexec/velm-reader/);
// VELM_JET_READER names another, and tests in the build tree find the one built there.
std::string readerHelperPath();

// What the helper may take of the machine: a damaged file makes it die early instead.
struct HelperLimits {
    std::uint64_t addressSpace = 0; // bytes
    std::uint64_t cpuSeconds = 0;
};
// Scaled from the Jet file's size (the helper maps the whole file), above a floor that every file needs.
HelperLimits helperLimits(std::uint64_t fileSize);

struct ReaderJob {
    std::string mdbPath;      // UTF-8
    std::string outputPath;   // the new SQLite file the helper writes
    std::string writeFailure; // UTF-8 message start when the output cannot be written, naming the file
    std::string caption;      // UTF-8, put before each table name in the progress window
    std::chrono::milliseconds quietLimit{30000};
    std::optional<HelperLimits> limits = std::nullopt; // helperLimits of the file's size unless given
};

// The helper runs within the job's limits. One that fails, crashes, runs past its limits or stays
// silent past quietLimit (then killed) raises Error; output left to the caller.
void runReader(const ReaderJob &job, ProgressSink *progress);

} // namespace velm::jet
