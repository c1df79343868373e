#include "archive/jet/tests/test_support.h"

#include "archive/jet/jet_reader.h"
#include "archive/jet/jet_values.h"
#include "base/cp950.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <unistd.h>

namespace fs = std::filesystem;

namespace velm::jet::testing {
namespace {

constexpr char kFieldEnd = '\x1f';
constexpr char kRowEnd = '\x1e';
constexpr char kNull = '\x1d';

std::string shellQuoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string commandOutput(const std::string &command)
{
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    if (pclose(pipe) != 0)
        throw std::runtime_error("failed: " + command);
    return output;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

bool startsWith(const std::string &text, const char *head)
{
    return text.rfind(head, 0) == 0;
}

std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string upper(std::string text)
{
    for (char &c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

double number(const Cell &cell)
{
    return cell.type == SQLITE_INTEGER ? double(cell.integer) : cell.real;
}

} // namespace

ScratchFolder::ScratchFolder()
{
    std::string pattern = (fs::temp_directory_path() / "velm-jet-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder");
    m_path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::vector<std::string> ScratchFolder::entries() const
{
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(m_path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ownTemporaryFiles()
{
    std::vector<std::string> found;
    const std::string prefix = "velm-jet-" + std::to_string(::getpid()) + "-";
    for (const auto &entry : fs::directory_iterator(fs::temp_directory_path()))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(entry.path().string());
    return found;
}

std::string fixturePath(const std::string &name)
{
    return (fs::path(VELM_FIXTURES) / name).string();
}

std::string copyFixture(const ScratchFolder &folder, const std::string &name, const std::string &as)
{
    const std::string target = folder.file(as.empty() ? name : as);
    fs::copy_file(fixturePath(name), target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return target;
}

std::string readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void expandPackage(const std::string &package, const std::string &target)
{
    const std::string packed = readBytes(package);
    if (packed.size() < 4)
        throw std::runtime_error("package too short: " + package);
    const auto *head = reinterpret_cast<const unsigned char *>(packed.data());
    uLongf size = uLongf(head[0]) | uLongf(head[1]) << 8 | uLongf(head[2]) << 16 | uLongf(head[3]) << 24;
    std::string plain(size, '\0');
    if (uncompress(reinterpret_cast<Bytef *>(plain.data()), &size, head + 4, uLong(packed.size() - 4)) != Z_OK)
        throw std::runtime_error("cannot expand " + package);
    plain.resize(size);
    writeBytes(target, plain);
}

void writeBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

TableData readTable(sqlite3 *db, const std::string &name)
{
    TableData table;
    table.name = name;
    const sqlite::StatementPtr select =
        sqlite::prepare(db, "SELECT * FROM " + quoteIdentifier(name) + " ORDER BY rowid");
    const int columns = sqlite3_column_count(select.get());
    for (int i = 0; i < columns; ++i) {
        table.columns.push_back(sqlite3_column_name(select.get(), i));
        const char *declared = sqlite3_column_decltype(select.get(), i);
        table.declarations.push_back(declared ? declared : "");
    }
    while (sqlite3_step(select.get()) == SQLITE_ROW) {
        std::vector<Cell> row;
        for (int i = 0; i < columns; ++i) {
            Cell cell;
            cell.type = sqlite3_column_type(select.get(), i);
            if (cell.type == SQLITE_INTEGER)
                cell.integer = sqlite3_column_int64(select.get(), i);
            else if (cell.type == SQLITE_FLOAT)
                cell.real = sqlite3_column_double(select.get(), i);
            else if (cell.type == SQLITE_TEXT || cell.type == SQLITE_BLOB) {
                const void *bytes = cell.type == SQLITE_TEXT
                                        ? static_cast<const void *>(sqlite3_column_text(select.get(), i))
                                        : sqlite3_column_blob(select.get(), i);
                if (bytes)
                    cell.text.assign(static_cast<const char *>(bytes),
                                     std::size_t(sqlite3_column_bytes(select.get(), i)));
            }
            row.push_back(std::move(cell));
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

std::vector<TableData> readDatabase(sqlite3 *db)
{
    std::vector<std::string> names;
    const sqlite::StatementPtr list =
        sqlite::prepare(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
    while (sqlite3_step(list.get()) == SQLITE_ROW)
        names.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(list.get(), 0)));
    std::vector<TableData> tables;
    for (const std::string &name : names)
        tables.push_back(readTable(db, name));
    return tables;
}

std::vector<TableData> readDatabase(const std::string &path)
{
    const sqlite::DatabasePtr db = sqlite::open(path, SQLITE_OPEN_READONLY);
    return readDatabase(db.get());
}

void PrintTo(Route route, std::ostream *out)
{
    *out << routeName(route);
}

std::string routeName(Route route)
{
    return route == Route::ConvertFile ? "file" : "copy";
}

std::vector<TableData> readThrough(Route route, const ScratchFolder &folder, const std::string &mdb,
                                   ProgressSink *progress)
{
    if (route == Route::ConvertFile) {
        const std::string target = folder.file("converted.sqlite");
        convertFile(mdb, target, progress, {});
        return readDatabase(target);
    }
    return readDatabase(openCopy(mdb, progress).get());
}

std::vector<std::string> referenceTables(const std::string &mdbPath)
{
    std::vector<std::string> names;
    for (const std::string &line :
         split(commandOutput("MDB_JET3_CHARSET=CP950 mdb-tables -1 " + shellQuoted(mdbPath)), '\n'))
        if (!line.empty())
            names.push_back(line);
    return names;
}

ReferenceTable referenceTable(const std::string &mdbPath, const std::string &table)
{
    const std::string dateFormat = shellQuoted("%Y-%m-%d %H:%M:%S");
    // Jet 3 text is code page 950 (glibc's CP950 lacks the user-defined areas; the tests keep clear of them).
    const std::string command = "MDB_JET3_CHARSET=CP950 mdb-export -Q -d " + shellQuoted(std::string(1, kFieldEnd)) +
                                " -R " + shellQuoted(std::string(1, kRowEnd)) + " -0 " +
                                shellQuoted(std::string(1, kNull)) + " -D " + dateFormat + " -T " + dateFormat +
                                " -b hex " + shellQuoted(mdbPath) + " " + shellQuoted(table);
    std::vector<std::string> records = split(commandOutput(command), kRowEnd);
    if (!records.empty() && records.back().empty())
        records.pop_back();
    ReferenceTable reference;
    if (records.empty())
        return reference;
    reference.columns = split(records.front(), kFieldEnd);
    for (std::size_t r = 1; r < records.size(); ++r) {
        std::vector<std::optional<std::string>> row;
        for (std::string &field : split(records[r], kFieldEnd)) {
            if (field.empty() || field == std::string(1, kNull))
                row.emplace_back();
            else
                row.emplace_back(std::move(field));
        }
        reference.rows.push_back(std::move(row));
    }
    return reference;
}

// One field against libmdb's printing of it; the declared type says how libmdb printed it.
void expectSameField(const std::string &declared, const Cell &ours, const std::optional<std::string> &reference)
{
    const bool textual = startsWith(declared, "VARCHAR") || declared == "LONGTEXT";
    const bool binary = startsWith(declared, "VARBINARY") || declared == "LONGBINARY";
    if (!reference) {
        // mdb-export prints a null and an empty value alike.
        if ((textual && ours.type == SQLITE_TEXT) || (binary && ours.type == SQLITE_BLOB)) {
            EXPECT_EQ(ours.text, "");
        } else {
            EXPECT_EQ(ours.type, SQLITE_NULL);
        }
        return;
    }
    if (declared == "GUID") {
        // mdb-export prints it in hex (-b) and without the usual dash between the last two groups, which we keep.
        ASSERT_EQ(ours.type, SQLITE_TEXT);
        const auto withoutDashes = [](std::string text) {
            text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
            return text;
        };
        std::string printed;
        for (std::size_t i = 0; i + 1 < reference->size(); i += 2)
            printed += static_cast<char>(std::stoi(reference->substr(i, 2), nullptr, 16));
        EXPECT_EQ(withoutDashes(ours.text), withoutDashes(printed));
    } else if (textual || declared == "DATETIME") {
        ASSERT_EQ(ours.type, SQLITE_TEXT);
        EXPECT_EQ(ours.text, *reference);
        EXPECT_EQ(toCp950(ours.text), toCp950(*reference));
    } else if (declared == "INTEGER" || declared == "SMALLINT" || declared == "BYTE" || declared == "BOOLEAN") {
        ASSERT_EQ(ours.type, SQLITE_INTEGER);
        EXPECT_EQ(std::to_string(ours.integer), *reference);
    } else if (binary) {
        ASSERT_EQ(ours.type, SQLITE_BLOB);
        EXPECT_EQ(hex(ours.text), upper(*reference));
    } else {
        // REAL, DOUBLE, CURRENCY, DECIMAL: libmdb prints them with 8 to 16 significant digits.
        ASSERT_TRUE(ours.type == SQLITE_FLOAT || ours.type == SQLITE_INTEGER) << declared;
        const double expected = std::stod(*reference);
        EXPECT_NEAR(number(ours), expected, std::fabs(expected) * (declared == "REAL" ? 1e-7 : 1e-14)) << declared;
    }
}

void expectTableSameAsLibmdb(const std::string &mdb, const TableData &table)
{
    SCOPED_TRACE(table.name);
    const ReferenceTable reference = referenceTable(mdb, table.name);
    EXPECT_EQ(table.columns, reference.columns);
    ASSERT_EQ(table.rows.size(), reference.rows.size());
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        ASSERT_EQ(reference.rows[r].size(), table.columns.size()) << "row " << r;
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + " column " + table.columns[c]);
            expectSameField(table.declarations[c], table.rows[r][c], reference.rows[r][c]);
        }
    }
}

void expectSameAsLibmdb(const std::string &mdb, const std::vector<TableData> &ours)
{
    std::vector<std::string> names;
    for (const TableData &table : ours)
        names.push_back(table.name);
    ASSERT_EQ(names, referenceTables(mdb));
    for (const TableData &table : ours)
        expectTableSameAsLibmdb(mdb, table);
}

} // namespace velm::jet::testing
