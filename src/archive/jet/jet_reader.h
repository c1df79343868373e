#pragma once
// Jet (.mdb) files read whole into SQLite by the helper velm-jet-reader, since libmdb can crash on a damaged file.
#include "base/progress.h"
#include "sqlite/sqlite_db.h"

#include <functional>
#include <string>

struct sqlite3;

namespace velm::jet {

// Written under a work name beside sqlitePath so a failure leaves nothing; finish runs on the finished
// database, then beforePlacing, then the file takes the name sqlitePath, which must be free by then: an
// existing file there is never replaced (an error). Work files left by killed conversions are removed.
void convertFile(const std::string &mdbPath, const std::string &sqlitePath, ProgressSink *progress,
                 const std::function<void(sqlite3 *)> &finish, const std::function<void()> &beforePlacing = {});

// Every user table of the Jet file in an SQLite copy that only the returned connection reaches (a package
// connection): read-only, and already without a name, so it goes with the connection however the process ends.
sqlite::DatabasePtr openCopy(const std::string &mdbPath, ProgressSink *progress);

} // namespace velm::jet
