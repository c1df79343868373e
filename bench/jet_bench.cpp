// Converts the large benchmark archive to SQLite and times it beside mdb-export dumping all its tables.
// Usage: jet_bench [WORK-FOLDER [RUNS]]; the expanded archive and its conversion stay in the work folder.
#include "archive/archive_file.h"
#include "archive/jet/jet_reader.h"
#include "base/error.h"
#include "bench_package.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string shellQuoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<char> readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// A package is a 4-byte little-endian length followed by one zlib stream.
void expandPackage(const std::string &package, const std::string &target)
{
    const std::vector<char> packed = readAll(package);
    if (packed.size() < 4)
        throw std::runtime_error("package too short: " + package);
    const auto *head = reinterpret_cast<const unsigned char *>(packed.data());
    const uLongf expected = uLongf(head[0]) | uLongf(head[1]) << 8 | uLongf(head[2]) << 16 | uLongf(head[3]) << 24;
    if (fs::exists(target) && fs::file_size(target) == expected)
        return;
    std::vector<unsigned char> plain(expected);
    uLongf size = expected;
    if (uncompress(plain.data(), &size, head + 4, uLong(packed.size() - 4)) != Z_OK || size != expected)
        throw std::runtime_error("cannot expand " + package);
    const std::string partial = target + ".part";
    std::ofstream(partial, std::ios::binary).write(reinterpret_cast<const char *>(plain.data()), std::streamsize(size));
    fs::rename(partial, target);
}

std::vector<std::string> tableNames(const std::string &mdb)
{
    std::vector<std::string> names;
    FILE *list = popen(("mdb-tables -1 " + shellQuoted(mdb)).c_str(), "r");
    if (!list)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, list)) {
        std::string name = line;
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        if (!name.empty())
            names.push_back(name);
    }
    pclose(list);
    return names;
}

double secondsFor(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Step {
    std::string name;
    std::function<void()> run;
    std::vector<double> seconds;
};

} // namespace

int main(int argc, char **argv)
{
    const std::string work = argc > 1 ? argv[1] : VELM_BENCH_WORK;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string mdb = work + "/big-archive.mdb";
    const std::string sqlite = work + "/big-archive.sqlite";
    try {
        expandPackage(bench::bigPackage(), mdb);
        readAll(mdb); // both sides then start from a warm page cache

        std::string exportAll;
        for (const std::string &table : tableNames(mdb))
            exportAll += "mdb-export " + shellQuoted(mdb) + " " + shellQuoted(table) + " >/dev/null && ";
        exportAll += "true";

        std::vector<Step> steps;
        // As the reader converts an archive: the tables, then the indexes its queries need.
        steps.push_back({"convert with indexes",
                         [&] {
                             fs::remove(sqlite);
                             velm::jet::convertFile(mdb, sqlite, nullptr,
                                                    [](sqlite3 *db) { velm::createArchiveIndexes(db); });
                         },
                         {}});
        steps.push_back({"mdb-export, all tables",
                         [&] {
                             if (std::system(exportAll.c_str()) != 0)
                                 throw std::runtime_error("mdb-export failed");
                         },
                         {}});

        const std::string tree = std::string(VELM_CLI_PATH) + " --archive " + shellQuoted(sqlite) + " tree >/dev/null";
        steps.push_back({"velm tree, converted",
                         [&] {
                             if (std::system(tree.c_str()) != 0)
                                 throw std::runtime_error("velm tree failed");
                         },
                         {}});

        for (int run = 0; run < runs; ++run)
            for (Step &step : steps)
                step.seconds.push_back(secondsFor(step.run));

        std::printf("%s (%.1f MB), %d runs each\n", mdb.c_str(), double(fs::file_size(mdb)) / 1e6, runs);
        for (const Step &step : steps) {
            std::printf("  %-26s best %6.3f s   runs:", step.name.c_str(),
                        *std::min_element(step.seconds.begin(), step.seconds.end()));
            for (double s : step.seconds)
                std::printf(" %.3f", s);
            std::printf("\n");
        }
        std::printf("converted archive: %s (%.1f MB)\n", sqlite.c_str(), double(fs::file_size(sqlite)) / 1e6);
    } catch (const velm::Error &e) {
        std::fprintf(stderr, "%s\n", e.utf8().c_str());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
