// What the read marks cost on a big archive (opened read-only, never written): the archive's identity, and
// the tree's unread counts with few and many marks, beside the peer the tree pays anyway without marks (every
// forum's topic count). Marks are written to and read from a store in a temporary folder.
// Usage: store_bench ARCHIVE.sqlite (for example a copy of a big converted archive).
#include "base/error.h"
#include "sqlite/sqlite_db.h"
#include "store/read_marks.h"
#include "store/reader_store.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The fastest of three runs, in milliseconds.
template <typename F> double best(F &&work)
{
    double fastest = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        fastest = std::min(fastest, millisecondsSince(start));
    }
    return fastest;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: store_bench ARCHIVE.sqlite\n");
        return 2;
    }
    try {
        const velm::sqlite::DatabasePtr archive = velm::sqlite::openImmutable(argv[1]);
        sqlite3 *db = archive.get();
        std::vector<velm::TopicMark> all;
        {
            const velm::sqlite::StatementPtr topics =
                velm::sqlite::prepare(db, "SELECT TOPIC_ID, T_LAST_POST, T_REPLIES FROM FORUM_TOPICS");
            while (sqlite3_step(topics.get()) == SQLITE_ROW)
                all.push_back({sqlite3_column_int64(topics.get(), 0),
                               {velm::sqlite::columnText(topics.get(), 1), sqlite3_column_int64(topics.get(), 2)}});
        }
        std::printf("archive %s: %zu topics\n", argv[1], all.size());
        std::printf("identity (first %d topics)            %8.1f ms\n", velm::kArchiveSampleSize,
                    best([&] { velm::SampleArchive(db); }));
        std::printf("peer: every forum's topic count       %8.1f ms\n", best([&] {
                        const velm::sqlite::StatementPtr count =
                            velm::sqlite::prepare(db, "SELECT FORUM_ID, count(*) FROM FORUM_TOPICS GROUP BY FORUM_ID");
                        while (sqlite3_step(count.get()) == SQLITE_ROW) {
                        }
                    }));

        const fs::path folder = fs::temp_directory_path() / ("store-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        velm::ReaderStore store((folder / "reader-state.db").string());
        const velm::ArchiveKey key = *store.identify(velm::SampleArchive(db), argv[1]);
        std::size_t marked = 0;
        for (std::size_t marks : {std::size_t(0), std::size_t(1000), std::size_t(10000), all.size()}) {
            marks = std::min(marks, all.size());
            const std::size_t added = marks - marked;
            const auto write = std::chrono::steady_clock::now();
            store.markRead(key, std::vector<velm::TopicMark>(all.begin() + marked, all.begin() + marks));
            const double written = millisecondsSince(write);
            marked = marks;
            velm::ReadMarks loaded;
            const double load = best([&] { loaded = velm::ReadMarks(store.readMarks(key)); });
            std::printf("%7zu marks: unread counts %8.1f ms, marks loaded %7.1f ms, %zu written in %7.1f ms\n", marks,
                        best([&] { velm::UnreadCounts(db, loaded); }), load, added, written);
        }
        fs::remove_all(folder);
    } catch (const velm::Error &e) {
        std::fprintf(stderr, "store_bench: %s\n", e.utf8().c_str());
        return 1;
    }
    return 0;
}
