// velm-jet-reader JET-FILE NEW-SQLITE-FILE 3>PROGRESS: libmdb apart, so a file that crashes it costs only this process.
#include "archive/jet/jet_copy.h"
#include "archive/jet/reader_protocol.h"
#include "sqlite/sqlite_db.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace velm::jet;
namespace sqlite = velm::sqlite;

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
        const std::string whole = std::string(head) + text + '\n';
        for (std::size_t written = 0; written < whole.size();) {
            const ssize_t n = ::write(protocol::kDescriptor, whole.data() + written, whole.size() - written);
            if (n <= 0)
                return; // nobody listening: the copy goes on all the same
            written += std::size_t(n);
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("usage: velm-jet-reader JET-FILE NEW-SQLITE-FILE\n", stderr);
        return protocol::kExitUsage;
    }
    // Run without a listener, descriptor 3 must still be taken: else SQLite's file gets it and the protocol lands
    // there.
    if (::fcntl(protocol::kDescriptor, F_GETFD) == -1) {
        const int nowhere = ::open("/dev/null", O_WRONLY);
        if (nowhere >= 0 && nowhere != protocol::kDescriptor) {
            ::dup2(nowhere, protocol::kDescriptor);
            ::close(nowhere);
        }
    }
    // The helper works only for the program that started it: when that one dies, the helper goes too,
    // rather than finishing a file nobody waits for.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        return protocol::kExitFailed;
    // libmdb's debugging options print every row; nothing here wants them.
    ::unsetenv("MDBOPTS");
    Reporter reporter;
    try {
        sqlite::DatabasePtr db = sqlite::open(argv[2], SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        // The file only becomes the archive when the waiting program renames it; until then speed counts.
        sqlite::execute(db.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
                                  "PRAGMA cache_size=-32768");
        copyJetFile(argv[1], db.get(), reporter);
        sqlite::close(db);
    } catch (const sqlite::Failure &e) {
        reporter.failed(protocol::kWriteFailed, e.utf8());
        return protocol::kExitFailed;
    } catch (const std::bad_alloc &) {
        reporter.failed(protocol::kReadFailed, "檔案已損壞 (讀取時記憶體不足)");
        return protocol::kExitFailed;
    } catch (const std::exception &e) {
        reporter.failed(protocol::kReadFailed, e.what());
        return protocol::kExitFailed;
    }
    reporter.done();
    return 0;
}
