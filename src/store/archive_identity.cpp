#include "store/archive_identity.h"

#include "sqlite/sqlite_db.h"

#include <algorithm>

namespace velm {

ArchiveSample SampleArchive(sqlite3 *db)
{
    const sqlite::StatementPtr stmt =
        sqlite::prepare(db, "SELECT TOPIC_ID, T_DATE FROM FORUM_TOPICS WHERE TOPIC_ID IS NOT NULL ORDER BY TOPIC_ID "
                            "LIMIT " +
                                std::to_string(kArchiveSampleSize));
    ArchiveSample sample;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        sample.emplace_back(sqlite3_column_int64(stmt.get(), 0), sqlite::columnText(stmt.get(), 1));
    if (rc != SQLITE_DONE)
        sqlite::raise(db);
    std::sort(sample.begin(), sample.end()); // repeated ids come in no fixed order
    return sample;
}

std::size_t SharedTopics(const ArchiveSample &a, const ArchiveSample &b)
{
    std::size_t shared = 0;
    for (auto i = a.begin(), j = b.begin(); i != a.end() && j != b.end();) {
        if (*i < *j) {
            ++i;
        } else if (*j < *i) {
            ++j;
        } else {
            ++shared;
            ++i;
            ++j;
        }
    }
    return shared;
}

bool SameArchive(const ArchiveSample &a, const ArchiveSample &b)
{
    const std::size_t smaller = std::min(a.size(), b.size());
    return smaller > 0 && 2 * SharedTopics(a, b) >= smaller;
}

} // namespace velm
