#pragma once
// libmdb's header, and owners for the libmdb objects this module holds.
// mdbtools.h includes glib inside extern "C", which breaks glib's C++ parts: glib goes first.
#include <glib.h>
#include <mdbtools.h>

#include <memory>

namespace velm::jet {

struct MdbHandleCloser {
    void operator()(MdbHandle *handle) const { mdb_close(handle); }
};
using MdbHandlePtr = std::unique_ptr<MdbHandle, MdbHandleCloser>;

struct MdbTableDefFree {
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};
using MdbTableDefPtr = std::unique_ptr<MdbTableDef, MdbTableDefFree>;

struct GlibFree {
    void operator()(void *memory) const { g_free(memory); }
};
using GlibCharPtr = std::unique_ptr<char, GlibFree>;

// Points libmdb's text conversion at what this reader expects, whatever MDBICONV or MDB_JET3_CHARSET say:
// Jet 4 names arrive as UTF-8; Jet 3 bytes pass through untouched, to be read as code page 950 here.
void prepareTextConversion(MdbHandle *handle);

} // namespace velm::jet
