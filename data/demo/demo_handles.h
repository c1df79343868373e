#pragma once
// Owners of the SQLite and ICU handles the demo builder and its test hold: SQLite's from the one layer.
#include "sqlite/sqlite_db.h"

#include <unicode/ucnv.h>

#include <memory>

namespace demo {

using velm::sqlite::DatabasePtr;
using velm::sqlite::StatementPtr;

struct ConverterCloser {
    void operator()(UConverter *conv) const { ucnv_close(conv); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

} // namespace demo
