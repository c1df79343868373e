#pragma once
// What a search needs from the main window: its topic query ADOTopic and its status bar.
#include <functional>
#include <string>

namespace velm {

class Query;

class SearchHost {
public:
    virtual ~SearchHost() = default;
    // Runs a change of ADOTopic with the topic grid detached from it; an error passes on after the grid
    // follows the query again.
    virtual void changeTopicQuery(const std::function<void(Query &topic)> &change) = 0;
    // StatusBar1's single text.
    virtual void setStatusText(const std::string &cp950) = 0;
};

} // namespace velm
