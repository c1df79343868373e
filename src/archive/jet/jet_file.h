#pragma once
// libmdb's reading with each value decoded from its stored bytes: libmdb's bound buffers cut long values silently.
#include "archive/jet/jet_values.h"
#include "archive/jet/mdb_handle.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velm::jet {

// Why a Jet file cannot be read, as UTF-8 text for the user; the caller adds the file name.
class ReadFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FileFacts {
    bool jet3 = false;
    std::size_t pageSize = 0;
    std::uint64_t pageCount = 0;
};

// Looks at the file before libmdb does: present, readable, not empty, a Jet header, whole pages.
FileFacts inspectFile(const std::string &path);

enum class ValueKind { Null, Integer, Real, Text, Blob };

struct FieldValue {
    ValueKind kind = ValueKind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string_view bytes; // text (UTF-8) or blob; valid until the next row is read
};

struct Column {
    std::string name; // UTF-8
    FieldType type = FieldType::Text;
    std::string declaration;
};

class JetTable;

// The file mapped into memory read-only: libmdb then reads its pages without a system call each.
class MappedFile {
public:
    explicit MappedFile(const std::string &path);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    void *data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    void *m_data = nullptr;
    std::size_t m_size = 0;
};

class JetFile {
public:
    explicit JetFile(const std::string &path);
    JetFile(const JetFile &) = delete;
    JetFile &operator=(const JetFile &) = delete;

    // User tables in catalog order.
    std::size_t tableCount() const { return m_tables.size(); }
    JetTable openTable(std::size_t index);

    const FileFacts &facts() const { return m_facts; }
    MdbHandle *handle() const { return m_handle.get(); }
    // A name as stored by libmdb, as UTF-8.
    std::string nameText(const char *stored) const;

private:
    FileFacts m_facts;
    MappedFile m_mapping; // outlives the handle that reads from it
    MdbHandlePtr m_handle;
    std::vector<MdbCatalogEntry *> m_tables;
};

class JetTable {
public:
    JetTable(JetFile &file, MdbCatalogEntry *entry);

    const std::string &name() const { return m_name; }
    const std::vector<Column> &columns() const { return m_columns; }
    // Reads the next row into values(); false after the last row, once the row count is confirmed.
    bool next();
    const std::vector<FieldValue> &values() const { return m_values; }
    std::uint64_t rowsRead() const { return m_rowsRead; }

private:
    [[noreturn]] void damaged(const std::string &detail) const;
    void decodeRow();
    void decodeField(std::size_t index, const MdbField &field);
    void readLongValue(std::size_t index, const MdbField &field, std::string &out);

    JetFile *m_file;
    MdbTableDefPtr m_table;
    std::string m_name;
    std::vector<Column> m_columns;
    std::vector<MdbField> m_fields;
    std::vector<FieldValue> m_values;
    std::vector<std::string> m_buffers; // one per column, reused from row to row
    std::string m_longValue;
    std::vector<char> m_chunk; // libmdb hands long values over one page at a time
    std::uint64_t m_rowsRead = 0;
};

} // namespace velm::jet
