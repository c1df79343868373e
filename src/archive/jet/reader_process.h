#pragma once
// Running the reader helper (velm-jet-reader) and waiting for it, with its progress passed on.
#include "base/progress.h"

#include <chrono>
#include <string>

namespace velm::jet {

// Beside the running program, or in the libexec folder of an install (<program folder>/../libexec/velm-reader/);
// VELM_JET_READER names another, and tests in the build tree find the one built there.
std::string readerHelperPath();

struct ReaderJob {
    std::string mdbPath;      // UTF-8
    std::string outputPath;   // the new SQLite file the helper writes
    std::string writeFailure; // UTF-8 message start when the output cannot be written, naming the file
    std::string caption;      // UTF-8, put before each table name in the progress window
    std::chrono::milliseconds quietLimit{30000};
};

// A helper that fails, crashes or stays silent past quietLimit (then killed) raises Error; output left to the caller.
void runReader(const ReaderJob &job, ProgressSink *progress);

} // namespace velm::jet
