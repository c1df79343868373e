#pragma once
// What a search needs from the main window: its topic query ADOTopic and its status bar.
#include <functional>
#include <string>
#include <vector>

namespace velm {

class Query;
struct TopicSearch;

class SearchHost {
public:
    virtual ~SearchHost() = default;
    // Runs a change of ADOTopic with the topic grid detached from it; an error passes on after the grid
    // follows the query again.
    virtual void changeTopicQuery(const std::function<void(Query &topic)> &change) = 0;
    // StatusBar1's single text.
    virtual void setStatusText(const std::string &cp950) = 0;
    // A search found rows in ADOTopic; the words it looked for (code page 950).
    virtual void searchFound(const std::vector<std::string> &keywordsCp950) { (void)keywordsCp950; }
    // Loads the search's rows into ADOTopic (an advanced search's empty result closes it), then tells
    // whether it found one. Here the statement runs on ADOTopic before this returns; the main window runs it
    // on a thread of its own and returns at once (finished is then never called for a search it cancels).
    // An error passes on.
    virtual void runTopicSearch(const TopicSearch &search, const std::function<void(bool found)> &finished);
    // Stops the search that runs, if any: its rows so far stay in ADOTopic.
    virtual void cancelTopicSearch() {}
};

} // namespace velm
