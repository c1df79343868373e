// velm-jet-reader JET-FILE NEW-SQLITE-FILE
// Reads a Jet file into a new SQLite file in a process of its own: libmdb can crash or stall on a damaged
// file, and then only this process is lost. Progress and failures go to standard output (reader_protocol.h).
#include "jet_copy.h"
#include "reader_protocol.h"
#include "sqlite_handle.h"

#include <cstdio>
#include <new>
#include <string>

using namespace velm::jet;

namespace {

class Reporter : public CopyListener {
public:
    void tablesFound(std::size_t count) override { line(protocol::kTables, std::to_string(count)); }
    void tableStarted(const std::string &name) override { line(protocol::kTable, name); }
    void rowsCopied(std::uint64_t rows) override { line(protocol::kRows, std::to_string(rows)); }
    void done() { line(protocol::kDone, {}); }
    void failed(std::string_view kind, const std::string &reason) { line(kind, reason); }

private:
    static void line(std::string_view head, std::string text)
    {
        for (char &c : text)
            if (c == '\n' || c == '\r')
                c = ' ';
        std::fwrite(head.data(), 1, head.size(), stdout);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("usage: velm-jet-reader JET-FILE NEW-SQLITE-FILE\n", stderr);
        return protocol::kExitUsage;
    }
    Reporter reporter;
    try {
        SqlitePtr db = openDatabase(argv[2], SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        // The file only becomes the archive when the waiting program renames it; until then speed counts.
        execute(db.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
                          "PRAGMA cache_size=-32768");
        copyJetFile(argv[1], db.get(), reporter);
        closeDatabase(db);
    } catch (const SqliteFailure &e) {
        reporter.failed(protocol::kWriteFailed, e.what());
        return protocol::kExitFailed;
    } catch (const std::bad_alloc &) {
        reporter.failed(protocol::kReadFailed, "記憶體不足");
        return protocol::kExitFailed;
    } catch (const std::exception &e) {
        reporter.failed(protocol::kReadFailed, e.what());
        return protocol::kExitFailed;
    }
    reporter.done();
    return 0;
}
