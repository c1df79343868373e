#pragma once
// libmdb's header and owners for its objects; glib goes first, as mdbtools.h would include it inside extern "C".
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

// Jet 3 names pass through as bytes, to be read as code page 950 here, whatever MDBICONV or MDB_JET3_CHARSET say.
void prepareTextConversion(MdbHandle *handle);

} // namespace velm::jet
