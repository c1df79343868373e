// Article page build time on the big benchmark archive: the topic with the most replies and a topic of
// 100 replies. The archive package is inflated once into the build folder and converted once to SQLite;
// later runs reuse both. Usage: article_bench [ITERATIONS]
#include "article/article_page.h"
#include "base/cp950.h"
#include "base/error.h"
#include "bench_package.h"
#include "packages/package_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char *kBaseUrl = "http://velm.example/";

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures {
    double best = 0;
    double median = 0;
    size_t pageBytes = 0;
};

Figures timeBuild(velm::ArticlePage &article, const std::string &topicId, int iterations, bool withUtf8)
{
    std::vector<double> times;
    velm::Big5Text page;
    size_t bytes = 0;
    for (int i = 0; i < iterations; ++i) {
        const auto start = Clock::now();
        if (!article.build(topicId, kBaseUrl, page))
            throw velm::Error("no page for topic " + topicId);
        if (withUtf8)
            bytes = page.toUtf8().size();
        times.push_back(milliseconds(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2], withUtf8 ? bytes : page.bytes().size()};
}

struct TopicSize {
    std::string id;
    long long replies = 0;
};

// Replies as the page shows them: only those whose author has a member row.
std::vector<TopicSize> topicsByShownReplies(velm::Connection &connection)
{
    velm::Query query(&connection);
    query.setReadAll(true);
    query.setSql("select FORUM_REPLY.TOPIC_ID, Count(*) from FORUM_REPLY,FORUM_MEMBERS where "
                 "FORUM_REPLY.R_AUTHOR=FORUM_MEMBERS.MEMBER_ID group by FORUM_REPLY.TOPIC_ID order by 2 desc");
    query.open();
    std::vector<TopicSize> sizes;
    for (; !query.eof(); query.next())
        sizes.push_back({query.field(0).asString(), query.field(1).asInteger()});
    return sizes;
}

void report(velm::ArticlePage &article, const char *what, const TopicSize &topic, int iterations)
{
    const Figures build = timeBuild(article, topic.id, iterations, false);
    const Figures withUtf8 = timeBuild(article, topic.id, iterations, true);
    std::printf("%s: topic %s, %lld replies, page %zu bytes (Big5), %zu bytes (UTF-8)\n", what, topic.id.c_str(),
                topic.replies, build.pageBytes, withUtf8.pageBytes);
    std::printf("  page build:            median %.3f ms, best %.3f ms (%d runs)\n", build.median, build.best,
                iterations);
    std::printf("  page build + to UTF-8: median %.3f ms, best %.3f ms\n", withUtf8.median, withUtf8.best);
}

// Every post of the archive through the markup conversion: the total and the slowest single post.
void convertAll(velm::Connection &connection, const char *sql)
{
    velm::Query query(&connection);
    query.setSql(sql);
    query.open();
    long long posts = 0;
    size_t bytes = 0;
    double total = 0;
    double slowest = 0;
    for (; !query.eof(); query.next()) {
        const velm::Big5Text message(query.field(0).asString());
        const auto start = Clock::now();
        bytes +=
            velm::ConvertMessageMarkup(message, static_cast<int>(query.field(1).asInteger()), kBaseUrl).bytes().size();
        const double ms = milliseconds(Clock::now() - start);
        total += ms;
        slowest = std::max(slowest, ms);
        ++posts;
    }
    std::printf("%lld posts converted in %.1f ms (%zu bytes of HTML), slowest %.3f ms\n", posts, total, bytes, slowest);
}

} // namespace

int main(int argc, char **argv)
{
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    try {
        const fs::path folder = VELM_BENCH_DATA;
        fs::create_directories(folder);
        const fs::path mdb = folder / "big-archive.mdb";
        if (!fs::exists(mdb) && !fs::exists(folder / "big-archive.sqlite")) {
            const auto start = Clock::now();
            if (!velm::ExpandPackage(bench::bigPackage(), mdb)) {
                std::fprintf(stderr, "article_bench: cannot inflate the benchmark package\n");
                return 1;
            }
            std::printf("inflated the package in %.0f ms\n", milliseconds(Clock::now() - start));
        }
        velm::Connection connection;
        connection.setConnectionText(mdb.string());
        const auto openStart = Clock::now();
        connection.open();
        std::printf("archive opened in %.0f ms (%s)\n", milliseconds(Clock::now() - openStart),
                    connection.databasePath().c_str());

        const std::vector<TopicSize> sizes = topicsByShownReplies(connection);
        if (sizes.empty()) {
            std::fprintf(stderr, "article_bench: the archive has no replies\n");
            return 1;
        }
        velm::ArticlePage article;
        article.prepare(&connection);
        report(article, "most replies", sizes.front(), iterations);
        // Sizes run downwards: the last topic of at least 100 replies is the one nearest to 100.
        const auto pastHundred =
            std::find_if(sizes.begin(), sizes.end(), [](const TopicSize &t) { return t.replies < 100; });
        if (pastHundred != sizes.begin())
            report(article, "nearest to 100 replies", *std::prev(pastHundred), iterations);
        else
            std::printf("no topic has 100 shown replies or more\n");
        std::printf("target: a page of 100 replies built in under 10 ms\n");
        convertAll(connection, "select T_MESSAGE, T_CODESYSTEM from FORUM_TOPICS");
        convertAll(connection, "select R_MESSAGE, R_CODESYSTEM from FORUM_REPLY");
    } catch (const velm::Error &e) {
        std::fprintf(stderr, "article_bench: %s\n", e.utf8().c_str());
        return 1;
    }
    return 0;
}
