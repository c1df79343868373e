#pragma once
// Jet (.mdb) files read whole into SQLite by the helper velm-jet-reader, since libmdb can crash on a damaged file.
#include "progress.h"

#include <functional>
#include <string>

struct sqlite3;

namespace velm::jet {

// Written under a temporary name beside sqlitePath so a failure leaves nothing; finish runs before the rename.
void convertFile(const std::string &mdbPath, const std::string &sqlitePath, ProgressSink *progress,
                 const std::function<void(sqlite3 *)> &finish);

// Every user table of the Jet file copied into memoryDb, which is open already (a package connection).
void loadIntoMemory(const std::string &mdbPath, sqlite3 *memoryDb, ProgressSink *progress);

} // namespace velm::jet
