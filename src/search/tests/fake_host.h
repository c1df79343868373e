#pragma once
// A main window stand-in for the searches, and the fixture archive opened as the default connection.
#include "search/search_host.h"

#include "archive/database.h"
#include "archive/util.h"

#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace velm::test {

class FakeHost final : public SearchHost {
public:
    explicit FakeHost(Connection &connection) : topic(&connection) {}

    void changeTopicQuery(const std::function<void(Query &)> &change) override
    {
        ++changes;
        change(topic);
    }
    void setStatusText(const std::string &cp950) override { status = cp950; }
    void searchFound(const std::vector<std::string> &keywordsCp950) override { found.push_back(keywordsCp950); }

    // TOPIC_ID of every row, in the query's order.
    std::vector<std::int64_t> ids()
    {
        std::vector<std::int64_t> list;
        for (topic.first(); !topic.eof(); topic.next())
            list.push_back(topic.fieldByName("TOPIC_ID").asInteger());
        return list;
    }

    Query topic;
    int changes = 0;
    std::string status;
    std::vector<std::vector<std::string>> found; // the keywords of each search that found rows
};

// A copy of archive-small.mdb in the folder, converted, opened and made the default connection.
inline void openFixtureArchive(const QTemporaryDir &dir, Connection &archive)
{
    const std::string copy = dir.filePath("archive-small.mdb").toStdString();
    std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb", copy);
    archive.setConnectionText(copy);
    archive.open();
    SetDefaultConnection(&archive);
}

} // namespace velm::test
