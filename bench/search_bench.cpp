// Quick search on the converted big archive, beside the sqlite3 shell running the same statement on the same
// file. The archive is expanded from the fixture package and converted once into the work folder (first
// argument; by default bench-data beside the program's folder), where later runs find it.
#include "archive/database.h"
#include "base/cp950.h"
#include "bench_package.h"
#include "search/quick_search.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct InflateEnd {
    void operator()(z_stream *z) const { inflateEnd(z); }
};

// A package: a four-byte little-endian length, then a zlib stream of the database.
void expandPackage(const fs::path &package, const fs::path &database)
{
    std::ifstream in(package, std::ios::binary);
    std::ofstream out(database, std::ios::binary);
    std::array<unsigned char, 4> length{};
    in.read(reinterpret_cast<char *>(length.data()), length.size());
    z_stream z{};
    if (!in || inflateInit(&z) != Z_OK) {
        std::fprintf(stderr, "cannot read %s\n", package.c_str());
        std::exit(1);
    }
    std::unique_ptr<z_stream, InflateEnd> owner(&z);
    std::vector<unsigned char> input(1 << 16), output(1 << 16);
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        in.read(reinterpret_cast<char *>(input.data()), static_cast<std::streamsize>(input.size()));
        z.next_in = input.data();
        z.avail_in = static_cast<uInt>(in.gcount());
        if (z.avail_in == 0)
            break;
        while (z.avail_in > 0 && rc != Z_STREAM_END) {
            z.next_out = output.data();
            z.avail_out = static_cast<uInt>(output.size());
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END) {
                std::fprintf(stderr, "broken package: %s\n", package.c_str());
                std::exit(1);
            }
            out.write(reinterpret_cast<const char *>(output.data()),
                      static_cast<std::streamsize>(output.size() - z.avail_out));
        }
    }
    if (rc != Z_STREAM_END) {
        std::fprintf(stderr, "package ends early: %s\n", package.c_str());
        std::exit(1);
    }
}

constexpr int kRuns = 5;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename F> double best(F run)
{
    double fastest = 1e30;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        fastest = std::min(fastest, secondsSince(start));
    }
    return fastest;
}

struct Word {
    const char *label;
    const char *utf8;
};

// Picked from the big archive's text: a link held by one topic, a word of most topics, and a link that only
// replies (of 17 topics) hold.
constexpr Word kWords[] = {
    {"rare word", "topic_id=14531"},
    {"common word", "Delphi"},
    {"only in replies", "topic_id=10461"},
};

} // namespace

int main(int argc, char **argv)
{
    const fs::path folder =
        argc > 1 ? fs::path(argv[1]) : fs::absolute(argv[0]).parent_path().parent_path() / "bench-data";
    fs::create_directories(folder);
    const fs::path mdb = folder / "big-archive.mdb";
    const fs::path sqlite = folder / "big-archive.sqlite";
    if (!fs::exists(sqlite)) {
        auto start = std::chrono::steady_clock::now();
        expandPackage(bench::bigPackage(), mdb);
        std::printf("expanded the package in %.1f s (%.0f MB)\n", secondsSince(start),
                    static_cast<double>(fs::file_size(mdb)) / 1e6);
        start = std::chrono::steady_clock::now();
        velm::Connection converting;
        converting.setConnectionText(mdb.string());
        converting.open();
        converting.close();
        std::printf("converted it in %.1f s (%.0f MB)\n", secondsSince(start),
                    static_cast<double>(fs::file_size(sqlite)) / 1e6);
        fs::remove(mdb);
    }

    velm::Connection archive;
    archive.setConnectionText(sqlite.string());
    archive.open();
    std::printf("archive: %s; best of %d runs, warm cache\n\n", sqlite.c_str(), kRuns);
    std::printf("%-16s %-15s %6s %12s %12s %12s\n", "", "keyword", "rows", "first row s", "all rows s", "sqlite3 s");
    for (const Word &word : kWords) {
        const std::string sql = velm::QuickSearchSql(velm::toCp950(word.utf8));
        velm::Query query(&archive);
        query.setSql(sql);
        long long rows = 0;
        // The grid waits for the first rows only; the shell reads them all.
        const double first = best([&] {
            query.close();
            query.open();
        });
        const double all = best([&] {
            query.close();
            query.open();
            rows = query.rowCount();
        });
        const fs::path script = folder / "quick_search.sql";
        std::ofstream(script, std::ios::binary) << velm::fromCp950(sql) << ";\n";
        const std::string command = "sqlite3 '" + sqlite.string() + "' < '" + script.string() + "' > /dev/null";
        const double shell = best([&] {
            if (std::system(command.c_str()) != 0) {
                std::fprintf(stderr, "failed: %s\n", command.c_str());
                std::exit(1);
            }
        });
        fs::remove(script);
        std::printf("%-16s %-15s %6lld %12.3f %12.3f %12.3f\n", word.label, word.utf8, rows, first, all, shell);
    }
    return 0;
}
