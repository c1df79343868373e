#pragma once
// Owners of the SQLite and ICU handles the demo builder and its test hold.
#include <sqlite3.h>
#include <unicode/ucnv.h>

#include <memory>

namespace demo {

struct DatabaseCloser {
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
using DatabasePtr = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

struct ConverterCloser {
    void operator()(UConverter *conv) const { ucnv_close(conv); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

} // namespace demo
