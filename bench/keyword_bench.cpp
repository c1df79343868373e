// Keyword marking of a 1 MB post, beside a peer that compares every keyword at every place of the page (as
// marking did before): the worst case for that peer is a long keyword that almost matches everywhere.
// Usage: keyword_bench [KEYWORD_LENGTH]   (10000 by default; the peer's time grows with it)
#include "article/keyword_highlight.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kPostBytes = 1024 * 1024;

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The peer: at every place of the text, each keyword compared character by character.
std::size_t peerMarks(const std::string &html, const std::vector<std::string> &keywords)
{
    std::size_t marks = 0;
    for (std::size_t i = 0; i < html.size();) {
        std::size_t matched = 0;
        for (const std::string &word : keywords) {
            std::size_t k = 0;
            while (k < word.size() && i + k < html.size() && lower(html[i + k]) == lower(word[k]))
                ++k;
            if (k == word.size()) {
                matched = std::max(matched, k);
            }
        }
        marks += matched > 0;
        i += std::max<std::size_t>(matched, 1);
    }
    return marks;
}

template <typename F> double bestMilliseconds(int runs, F &&work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

std::size_t countMarks(const std::string &marked)
{
    std::size_t n = 0;
    for (std::size_t at = marked.find("<mark>"); at != std::string::npos; at = marked.find("<mark>", at + 1))
        ++n;
    return n;
}

void report(const char *what, const std::string &post, const std::vector<std::string> &keywords, int peerRuns)
{
    const std::string page = "<html><body><table><tr><td>" + post + "</td></tr></table></body></html>";
    std::size_t marks = 0;
    const double ours = bestMilliseconds(5, [&] { marks = countMarks(velm::HighlightKeywords(page, keywords)); });
    std::size_t peer = 0;
    const double theirs = bestMilliseconds(peerRuns, [&] { peer = peerMarks(page, keywords); });
    std::printf("%s: page %zu bytes, keyword %zu chars\n", what, page.size(), keywords.front().size());
    std::printf("  HighlightKeywords:          %10.2f ms (%zu marks, best of 5)\n", ours, marks);
    std::printf("  compare at every place:     %10.2f ms (%zu marks, best of %d)\n", theirs, peer, peerRuns);
}

} // namespace

int main(int argc, char **argv)
{
    const std::size_t length = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    if (length < 2) {
        std::fprintf(stderr, "usage: keyword_bench [KEYWORD_LENGTH >= 2]\n");
        return 2;
    }
    // Every place holds all but the keyword's last character.
    report("almost everywhere", std::string(kPostBytes, 'a'), {std::string(length - 1, 'a') + "b"}, 1);

    std::string prose;
    const std::string sentence = "Delphi 的 TSocket 元件如何設定逾時? 請參考 socket 說明 &amp; 範例。<br>";
    while (prose.size() < kPostBytes)
        prose += sentence;
    report("forum prose, short keyword", prose, {"socket"}, 5);
    return 0;
}
