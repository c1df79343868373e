#include "search/topic_search.h"

#include "archive/util.h"
#include "search/indexed_search.h"
#include "search/quick_search.h"
#include "search/search_host.h"

#include <sqlite3.h>

#include <chrono>

namespace velm {
namespace {

// The first block is small, for a first screen; later ones come at most this often, or when this large.
constexpr std::size_t kFirstBlock = 60;
constexpr std::size_t kBlock = 5000;
constexpr auto kBlockTime = std::chrono::milliseconds(150);

} // namespace

void SearchCancel::cancel()
{
    m_cancelled = true;
    m_interrupter.interrupt();
}

TopicSearch QuickTopicSearch(const std::string &keywordCp950)
{
    return {TopicSearch::Kind::Quick, QuickSearchSql(keywordCp950), {keywordCp950}, [keywordCp950](sqlite3 *db) {
                return IndexedQuickSearchSql(db, keywordCp950).value_or(QuickSearchSql(keywordCp950));
            }};
}

bool RunTopicSearch(Connection &connection, const TopicSearch &search, const std::vector<std::string> &columns,
                    SearchCancel &cancel, const std::function<void(TopicRows &&block)> &deliver)
{
    const sqlite::Interrupter::Scope scope(cancel.interrupter(), connection.handle());
    Query query(&connection);
    query.setStreaming(true);
    query.setColumns(columns);
    TopicRows block;
    try {
        if (cancel.cancelled())
            return false;
        query.setSql(search.statementFor(connection.handle()));
        query.open();
        for (int i = 0; i < query.fieldCount(); ++i) {
            block.names.push_back(query.fieldName(i));
            block.types.push_back(query.fieldType(i));
        }
        auto sent = std::chrono::steady_clock::now();
        bool first = true;
        for (; !query.eof(); query.next()) {
            if (cancel.cancelled())
                return false;
            std::vector<Value> row;
            row.reserve(block.names.size());
            for (int i = 0; i < query.fieldCount(); ++i)
                row.push_back(query.field(i).value());
            block.rows.push_back(std::move(row));
            const auto now = std::chrono::steady_clock::now();
            if (block.rows.size() >= (first ? kFirstBlock : kBlock) || (!first && now - sent >= kBlockTime)) {
                deliver(std::move(block));
                block = {};
                sent = now;
                first = false;
            }
        }
    } catch (const Error &) {
        if (cancel.cancelled())
            return false;
        throw;
    }
    if (cancel.cancelled())
        return false;
    // The columns come with the first block, even when there is no row.
    if (!block.rows.empty() || !block.names.empty())
        deliver(std::move(block));
    return true;
}

void SearchHost::runTopicSearch(const TopicSearch &search, const std::function<void(bool found)> &finished)
{
    bool found = false;
    changeTopicQuery([&](Query &topic) {
        if (!topic.connection())
            topic.setConnection(DefaultConnection());
        const std::string sql = search.statementFor(topic.connection()->handle());
        if (search.kind == TopicSearch::Kind::Advanced) {
            // The advanced search leaves no empty result open.
            found = ReopenQuery(topic, sql);
            if (!found)
                topic.close();
            return;
        }
        // The quick search opens its statement directly: no wait cursor, nothing to the clipboard.
        topic.close();
        topic.setSql(sql);
        topic.open();
        found = !topic.eof();
    });
    finished(found);
}

} // namespace velm
