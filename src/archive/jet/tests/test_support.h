#pragma once
// Scratch folders, fixture copies, SQLite reading, and libmdb's reading as mdb-export prints it (the reference).
#include "base/progress.h"
#include "sqlite/sqlite_db.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace velm::jet::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    std::string file(const std::string &name) const { return (m_path / name).string(); }
    // Names of everything in the folder, sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path m_path;
};

std::string fixturePath(const std::string &name);
// Work files of this process in the system's temporary folder (the helper's output for a package's copy).
std::vector<std::string> ownTemporaryFiles();
// Copies a fixture into folder under its own name (or as), returning the copy's path.
std::string copyFixture(const ScratchFolder &folder, const std::string &name, const std::string &as = {});

std::string readBytes(const std::string &path);
void writeBytes(const std::string &path, const std::string &bytes);
// A package (4-byte little-endian length, then one zlib stream) expanded into target.
void expandPackage(const std::string &package, const std::string &target);

// A value as SQLite holds it: its storage class and its bytes (text, blob, or the number as text).
struct Cell {
    int type = SQLITE_NULL;
    std::string text;
    std::int64_t integer = 0;
    double real = 0;
};

struct TableData {
    std::string name;
    std::vector<std::string> columns;
    std::vector<std::string> declarations;
    std::vector<std::vector<Cell>> rows;
};

// Every table of a database in creation order, with all rows in rowid order.
TableData readTable(sqlite3 *db, const std::string &name);
std::vector<TableData> readDatabase(sqlite3 *db);
std::vector<TableData> readDatabase(const std::string &path);

// One table as mdb-export prints it (dates YYYY-MM-DD HH:MM:SS, binary in hex); nothing where null or empty.
struct ReferenceTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
};

std::vector<std::string> referenceTables(const std::string &mdbPath);
ReferenceTable referenceTable(const std::string &mdbPath, const std::string &table);

// The two ways a Jet file reaches SQLite.
enum class Route { ConvertFile, OpenCopy };
void PrintTo(Route route, std::ostream *out);
std::string routeName(Route route);
// The Jet file read by route (converted into folder, or opened as a package's copy).
std::vector<TableData> readThrough(Route route, const ScratchFolder &folder, const std::string &mdb,
                                   ProgressSink *progress = nullptr);

// GoogleTest expectations: a converted field, or every table, column and row, as libmdb reads them.
void expectSameField(const std::string &declared, const Cell &ours, const std::optional<std::string> &reference);
void expectTableSameAsLibmdb(const std::string &mdbPath, const TableData &ours);
void expectSameAsLibmdb(const std::string &mdbPath, const std::vector<TableData> &ours);

} // namespace velm::jet::testing
