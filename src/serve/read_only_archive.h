#pragma once
// The archive as the server reads it: an SQLite file opened read-only, once per worker thread, while the
// reader or an import may write it at the same time.
#include "archive/database.h"

#include <memory>
#include <string>

namespace velm::serve {

// The SQLite file an archive path names (an Access archive's converted sibling), found without converting,
// upgrading or writing anything; an error names the file when there is none.
std::string servedArchivePath(const std::string &archivePath);

// A read-only connection to the SQLite file that waits for a writer's lock rather than failing at once.
std::unique_ptr<Connection> openReadOnlyArchive(const std::string &sqlitePath);

} // namespace velm::serve
