#pragma once
// A search of topics as data that any thread can run on a connection of its own: the statement the search
// composes, and the statement that gives its rows there (through the index where it can).
#include "archive/database.h"
#include "archive/value.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;

namespace velm {

struct TopicSearch {
    enum class Kind { Quick, Advanced };
    Kind kind = Kind::Quick;
    std::string sql;                   // the composed statement: ADOTopic's text (code page 950)
    std::vector<std::string> keywords; // the words the pages of its topics mark (code page 950)
    // The statement to run on a connection: narrowed through the index when it is complete, else sql.
    std::function<std::string(sqlite3 *db)> statementFor;
};

TopicSearch QuickTopicSearch(const std::string &keywordCp950);

// Ends a running search from any thread: the statement is interrupted and the run gives up.
class SearchCancel {
public:
    void cancel();
    bool cancelled() const { return m_cancelled.load(); }
    // A run lends it its connection while it runs.
    sqlite::Interrupter &interrupter() { return m_interrupter; }

private:
    std::atomic<bool> m_cancelled{false};
    sqlite::Interrupter m_interrupter;
};

// What a run hands over: the result's columns with the first block, then further rows.
struct TopicRows {
    std::vector<std::string> names; // code page 950
    std::vector<FieldType> types;
    std::vector<std::vector<Value>> rows;
};

// Runs the search on the connection, reading only the named columns (the others read as empty), and hands
// the rows over in blocks as they come: the first soon, so that a first screen can show. False when it
// was cancelled; errors are thrown.
bool RunTopicSearch(Connection &connection, const TopicSearch &search, const std::vector<std::string> &columns,
                    SearchCancel &cancel, const std::function<void(TopicRows &&block)> &deliver);

} // namespace velm
