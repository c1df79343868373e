#pragma once
// Connections and queries over SQLite, with the cursor model the reader's code is written against:
// first/prior/next/last, end tests, fields by position and name, bookmarks and locate.
#include "archive/value.h"
#include "sqlite/sqlite_db.h"

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

class ProgressSink;
class Query;

// Kinds of column, told apart by the Jet type names kept in the column declarations.
enum class FieldType {
    Unknown,
    Text,
    Memo,
    SmallInt,
    Integer,
    Byte,
    Boolean,
    Float,
    Currency,
    Decimal,
    DateTime,
    Binary,
    Guid
};

FieldType fieldTypeOf(std::string_view declaredType);

using sqlite::StatementPtr;

class Connection {
public:
    // An archive connection reads and writes; a package connection only reads a package, within bounds.
    enum class Mode { Archive, Package };

    explicit Connection(Mode mode = Mode::Archive);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    Mode mode() const { return m_mode; }
    // A full connection text holding "Data Source=" or a bare file path; UTF-8 like every path.
    const std::string &connectionText() const { return m_connectionText; }
    void setConnectionText(std::string text);

    // Opens the data source of the connection text; a Jet archive is converted once (progress may be null).
    void open(ProgressSink *progress = nullptr);
    // Closes the connection and every query that uses it.
    void close();
    // Takes over a database opened elsewhere (read-only, for instance); its SQLite file is databasePath.
    void adopt(sqlite::DatabasePtr db, std::string databasePath);
    bool connected() const { return m_db != nullptr; }
    // Whether the open database takes no writes (an archive on a read-only medium or in a folder the user
    // cannot write).
    bool readOnly() const;

    // Reads to their end the open queries that are still reading (a streaming one excepted): until then each
    // holds the database as it was when it began, and no write can start on it once another program has
    // written since.
    void finishReading();

    // The file in use: the SQLite archive, or the package file as named (a Jet package is read through a copy).
    const std::string &databasePath() const { return m_databasePath; }

    // How the open archive's file is opened, so that another thread can open it alike.
    struct FileAccess {
        std::string path; // UTF-8
        bool readOnly = false;
        bool immutable = false;
    };
    FileAccess fileAccess() const;
    // Opens that SQLite file as it is: no conversion, no upgrade, no indexes made.
    void openFile(const FileAccess &file);
    sqlite3 *handle() const;

    // Prepares one statement of code page 950 SQL text; a second statement in the text is refused.
    StatementPtr prepare(const std::string &sqlCp950) const;
    // Raises the last SQLite error of this connection.
    [[noreturn]] void raiseLastError() const;

private:
    friend class Query;
    void attach(Query *query);
    void detach(Query *query);

    Mode m_mode;
    std::string m_connectionText;
    std::string m_databasePath;
    sqlite3 *m_db = nullptr;
    std::vector<Query *> m_queries;
};

class Field {
public:
    Field(const Query &query, int column) : m_query(query), m_column(column) {}
    const std::string &name() const;
    FieldType type() const;
    // The current row's value (null where the row holds none).
    Value value() const;
    // As code page 950 text; null gives empty text.
    std::string asString() const;
    std::int64_t asInteger() const;
    bool isNull() const;

private:
    const Query &m_query;
    int m_column;
};

class Query {
public:
    using Bookmark = long long;

    explicit Query(Connection *connection = nullptr);
    ~Query();
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    Connection *connection() const { return m_connection; }
    void setConnection(Connection *connection);

    const std::string &sql() const { return m_sql; }
    // Replacing the text closes and unprepares the query.
    void setSql(std::string sqlCp950);
    // Named parameter, written ":name" in the SQL text; the name is given without the colon.
    void setParam(std::string_view name, Value value);
    // Client-side cursor: the whole result is read when the query opens.
    void setReadAll(bool readAll) { m_readAll = readAll; }
    // A forward-only cursor that keeps only the current row, so a result of any size takes little memory;
    // moving back, to the last row or to a row already passed is an error. Kept across texts.
    void setStreaming(bool streaming) { m_streaming = streaming; }
    // A streaming query also keeps the rows from this one on, so that they can be visited again.
    void keepFrom(long long row);
    // Only these columns (names without regard to case) are read into values; the others read as empty.
    // An empty list reads every column. The statement text is not changed. Kept across texts.
    void setColumns(std::vector<std::string> namesCp950) { m_wantedNames = std::move(namesCp950); }
    // Called after every move of the current row, and after an open that gave a row.
    void setAfterScroll(std::function<void()> handler) { m_afterScroll = std::move(handler); }

    // Rows read elsewhere for this query's text (a search on another thread): the query opens on the
    // columns without running its statement, takes rows as they are given, and has them all at endRows.
    void openWithRows(std::vector<std::string> namesCp950, std::vector<FieldType> types);
    void addRows(std::vector<std::vector<Value>> rows);
    void endRows() { m_done = true; }

    void prepare();
    void unprepare();
    bool prepared() const { return m_prepared; }

    void open();
    void close();
    bool isOpen() const { return m_open; }
    // Runs the text as a statement that returns no rows.
    void execSQL();

    bool eof() const;
    bool bof() const { return m_bof; }
    bool isEmpty() const;
    void first();
    void prior();
    void next();
    void last();
    // Current row, counted from 0; equals the row count at the end.
    long long recNo() const { return m_pos; }
    void moveTo(long long row);

    // Rows read so far; more come on demand as the cursor or a view asks.
    long long fetchedRows() const { return m_base + static_cast<long long>(m_rows.size()); }
    bool allFetched() const { return m_done; }
    // Reads up to n further rows; returns how many came.
    long long fetchMore(long long n);
    long long rowCount();

    int fieldCount() const { return static_cast<int>(m_names.size()); }
    const std::string &fieldName(int column) const;
    // Index of a column by name, without regard to case; -1 when there is none.
    int findField(std::string_view name) const;
    Field field(int column) const;
    Field fieldByName(std::string_view name) const;
    FieldType fieldType(int column) const;
    // The value at a row and column; rows beyond those read are read first.
    const Value &valueAt(long long row, int column);

    Bookmark bookmark() const { return m_pos; }
    void gotoBookmark(Bookmark bookmark);
    // Moves to the first row, counted from the start, whose column equals the value.
    bool locate(std::string_view column, const Value &value);

private:
    friend class Field;
    friend class Connection;
    void requireOpen(const char *operation) const;
    void bindParams(sqlite3_stmt *stmt) const;
    bool ensureRow(long long row);
    bool readRow();
    void finishStatement();
    void scrolled();
    const Value &current(int column) const;
    const std::vector<Value> &row(long long row) const;
    // A streaming query lets go of the rows before the current one.
    void dropPassedRows();
    void requireKept(long long row, const char *operation) const;

    Connection *m_connection = nullptr;
    std::string m_sql;
    std::vector<std::pair<std::string, Value>> m_params;
    bool m_readAll = false;
    bool m_prepared = false;
    bool m_open = false;
    StatementPtr m_stmt;
    std::vector<std::string> m_names;
    std::vector<FieldType> m_types;
    std::vector<std::vector<Value>> m_rows; // rows from m_base on
    long long m_base = 0;
    bool m_streaming = false;
    static constexpr long long kKeepNone = std::numeric_limits<long long>::max();
    long long m_keptFrom = kKeepNone;
    std::vector<std::string> m_wantedNames;
    std::vector<bool> m_wanted;
    bool m_done = true;
    long long m_pos = 0;
    bool m_bof = true;
    bool m_eof = true;
    std::function<void()> m_afterScroll;
};

} // namespace velm
