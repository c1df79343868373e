#pragma once
// Copying the user tables of a Jet file into an SQLite database: the work of the reader helper.
#include "archive/jet/jet_file.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velm::jet {

// What a copy tells about its way; rowsCopied comes at least every tenth of a second while rows flow.
class CopyListener {
public:
    virtual ~CopyListener() = default;
    virtual void tablesFound(std::size_t count) = 0;
    virtual void tableStarted(const std::string &name) = 0;
    virtual void rowsCopied(std::uint64_t rowsInTable) = 0;
};

// CREATE TABLE for a Jet table: Jet type names kept, no keys, no constraints.
std::string createTableSql(const std::string &table, const std::vector<Column> &columns);

// One transaction; ReadFailure blames the Jet file, sqlite::Failure the database.
void copyJetFile(const std::string &mdbPath, sqlite3 *db, CopyListener &listener);

} // namespace velm::jet
