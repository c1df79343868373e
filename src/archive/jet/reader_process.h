#pragma once
// Running the reader helper (velm-jet-reader) and waiting for it, with its progress passed on.
#include "progress.h"

#include <chrono>
#include <string>

namespace velm::jet {

// The helper beside the running program; the environment variable VELM_JET_READER names another one,
// and a program run from the build tree finds the one built there.
std::string readerHelperPath();

struct ReaderJob {
    std::string mdbPath;    // UTF-8
    std::string outputPath; // the new SQLite file the helper writes
    std::string outputName; // the file a write failure names to the user
    std::string caption;    // UTF-8, put before each table name in the progress window
    std::chrono::milliseconds quietLimit{30000};
};

// Raises velm::Error naming the file when the helper reports a failure, ends abnormally, or stays silent
// longer than quietLimit (then it is killed). The output file is left for the caller to remove.
void runReader(const ReaderJob &job, ProgressSink *progress);

} // namespace velm::jet
