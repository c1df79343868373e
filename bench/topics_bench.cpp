// Time to show the first rows of the largest forum of the big benchmark archive, as the topic grid does:
// open the forum's topic query, read one block of 100 rows, and make the shown texts of each.
// Usage: topics_bench [WORK-FOLDER]; the expanded and converted archive stay in the work folder.
#include "archive/database.h"
#include "archive/forum_text.h"
#include "archive/util.h"
#include "base/error.h"
#include "bench_package.h"
#include "packages/package_file.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    const std::string work = argc > 1 ? argv[1] : VELM_BENCH_WORK;
    const std::string mdb = work + "/topics-bench.mdb";
    try {
        if (!fs::exists(work + "/topics-bench.sqlite") && !velm::ExpandPackage(bench::bigPackage(), mdb))
            throw std::runtime_error("cannot expand the benchmark package");
        velm::Connection archive;
        archive.setConnectionText(mdb);
        archive.open();

        // A forum of 100,000 topics beside the archive's own: the first rows must not wait for the rest.
        constexpr std::int64_t kHugeForum = 999999;
        velm::Value huge;
        velm::SQLLookup("select Count(*) from FORUM_TOPICS where FORUM_ID=999999", huge, false, &archive);
        for (int copy = 1; huge.toInt() < 100000 && copy <= 5; ++copy)
            velm::ExecuteSQL("insert into FORUM_TOPICS select TOPIC_ID+" + std::to_string(copy * 1000000) +
                                 ",999999,CAT_ID,T_SUBJECT,T_MESSAGE,T_DATE,T_AUTHOR,T_REPLIES,T_LAST_POST,T_GOOD,"
                                 "T_CODESYSTEM,T_FILENAME,T_FILESIZE from FORUM_TOPICS where FORUM_ID<>999999",
                             &archive);

        velm::Value forum;
        velm::SQLLookup("select FORUM_ID, Count(*) from FORUM_TOPICS where FORUM_ID<>999999 group by FORUM_ID "
                        "order by 2 desc",
                        forum, false, &archive);
        velm::SQLLookup("select Count(*) from FORUM_TOPICS where FORUM_ID=999999", huge, false, &archive);

        for (const auto &[forumId, topics] : {std::pair(forum.items().at(0).toInt(), forum.items().at(1).toInt()),
                                              std::pair(kHugeForum, huge.toInt())}) {
            for (int run = 0; run < 3; ++run) {
                velm::MemberNames members;
                const auto start = std::chrono::steady_clock::now();
                velm::Query query(&archive);
                query.setSql(velm::kForumTopicsSql);
                query.setParam("frm_id", velm::Value::integer(forumId));
                query.open();
                query.fetchMore(99);
                for (long long row = 0; row < query.fetchedRows(); ++row) {
                    query.moveTo(row);
                    velm::CurrentTopicCells(query, members, &archive);
                }
                const double firstRows = millisecondsSince(start);
                query.rowCount();
                std::printf("forum %lld (%lld topics): first 100 rows shown in %.2f ms (member table read included); "
                            "reading all rows %.2f ms\n",
                            static_cast<long long>(forumId), static_cast<long long>(topics), firstRows,
                            millisecondsSince(start));
            }
        }
    } catch (const velm::Error &e) {
        std::fprintf(stderr, "%s\n", e.utf8().c_str());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
