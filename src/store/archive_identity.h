#pragma once
// Which archive the reader has open, told by its content rather than its path: a reconversion, a moved or
// copied file, imports (newer topics) and a newer full archive of the same forum keep their identity.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velm {

// The store's number for an archive.
using ArchiveKey = std::int64_t;

// The earliest topics of an archive by TOPIC_ID, each with its T_DATE: what an import or a new version
// of the same forum leaves in place.
using ArchiveSample = std::vector<std::pair<std::int64_t, std::string>>;

inline constexpr int kArchiveSampleSize = 64;

// The sample of the archive open on db (reads kArchiveSampleSize rows through the TOPIC_ID index).
ArchiveSample SampleArchive(sqlite3 *db);

// How many topics two samples share (both sorted by TOPIC_ID).
std::size_t SharedTopics(const ArchiveSample &a, const ArchiveSample &b);

// Two samples are of one archive when they share at least half of the smaller one; empty samples match
// nothing.
bool SameArchive(const ArchiveSample &a, const ArchiveSample &b);

} // namespace velm
