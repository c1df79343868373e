// What the web search's OK and the start-up's file association cost: the twenty URL texts built, taken
// apart and encoded; the registration on a first start (files and both databases, with the real tools
// when installed) and on every later start (nothing changed). XDG folders go to a temporary folder.
#include "base/cp950.h"
#include "shell_core/file_association.h"
#include "websearch/web_search.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

} // namespace

int main()
{
    const std::vector<velm::SiteBox> boxes = velm::TableSiteBoxes("http://www.velm.org.tw/", true);
    const velm::TypedKeyword keyword("資料庫 連線 TQuery");
    constexpr int kSearches = 20000;
    size_t bytes = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kSearches; ++i) {
        const velm::SearchLists lists = velm::BuildSearchLists(boxes, keyword, true, i % 2 == 0);
        for (const std::string &text : lists.urlTexts)
            bytes += velm::RequestAddress(velm::ParseSearchUrl(text).address).size();
    }
    std::printf("web search OK, 20 sites built, parsed and encoded: %.2f us per search (%zu bytes)\n",
                microseconds(Clock::now() - start) / kSearches, bytes);

    const fs::path root = fs::temp_directory_path() / ("velm-assoc-bench-" + std::to_string(::getpid()));
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    const std::string program = "/opt/velm/velm-reader";
    auto registration = [&](const std::string &path) {
        const auto begin = Clock::now();
        velm::RegisterFileType(".VLP", "", "Velm Package", path, "");
        return microseconds(Clock::now() - begin) / 1000.0;
    };
    std::printf("file association, first start (files and both databases): %.1f ms\n", registration(program));
    constexpr int kStarts = 200;
    double total = 0;
    for (int i = 0; i < kStarts; ++i)
        total += registration(program);
    std::printf("file association, unchanged start: %.3f ms\n", total / kStarts);
    std::printf("file association, start from another folder: %.1f ms\n", registration("/home/u/velm-reader"));
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
