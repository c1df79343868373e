// Times DownloadFile of the large benchmark package (25 MB) from a server on 127.0.0.1, with the progress
// reports of the window (bar range and position, a repaint hook), beside the curl program fetching the same
// body. Usage: network_bench [RUNS]; nothing is kept.
#include "base/progress.h"
#include "bench_package.h"
#include "packages/http_client.h"
#include "packages/tests/http_test_server.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

using namespace velm;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(const std::function<bool()> &job, bool &ok)
{
    const auto start = Clock::now();
    ok = job();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string package = bench::bigPackage();
    const double megabytes = static_cast<double>(std::filesystem::file_size(package)) / (1024.0 * 1024.0);
    test::HttpTestServer server;
    server.answer("/download/velm_reader/big.VLP", test::fileAnswer(package));
    const std::string url = server.base() + "download/velm_reader/big.VLP";
    QTemporaryDir dir;
    const std::string target = dir.filePath("TEMP.VLP").toStdString();

    SilentProgress bar;
    long long reports = 0;
    long long waits = 0;
    HttpClient client;
    client.setEvents({[&](std::int64_t total) { IdHTTP1WorkBegin(bar, total); },
                      [&](std::int64_t count) {
                          IdHTTP1Work(bar, count);
                          ++reports;
                      },
                      [&] { ++waits; }});
    double best = 1e9;
    double bestMemory = 1e9;
    double bestCurl = 1e9;
    for (int run = 0; run < runs; ++run) {
        bool ok = false;
        std::string body;
        bestMemory = std::min(bestMemory, seconds([&] { return client.get(url, body); }, ok));
        reports = waits = 0;
        best = std::min(best, seconds([&] { return client.DownloadFile(url, target); }, ok));
        if (!ok) {
            std::fprintf(stderr, "DownloadFile failed: %s\n", client.lastError().c_str());
            return 1;
        }
        const std::string command = "curl -s -o '" + dir.filePath("curl.VLP").toStdString() + "' '" + url + "'";
        bestCurl = std::min(bestCurl, seconds([&] { return std::system(command.c_str()) == 0; }, ok));
        if (!ok)
            bestCurl = -1;
    }
    std::printf("body %.1f MB over 127.0.0.1, best of %d runs\n", megabytes, runs);
    std::printf("DownloadFile  %7.3f s  %7.1f MB/s  (%lld position reports, %lld repaint calls, bar %d/%d)\n", best,
                megabytes / best, reports, waits, bar.position(), bar.maximum());
    std::printf("of which      %7.3f s  %7.1f MB/s  the transfer into memory (the rest: writing, syncing)\n",
                bestMemory, megabytes / bestMemory);
    if (bestCurl > 0)
        std::printf("curl program  %7.3f s  %7.1f MB/s\n", bestCurl, megabytes / bestCurl);
    return 0;
}
