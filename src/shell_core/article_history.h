#pragma once
// The topics the article view has shown, in the order the user opened them, for back and forward.
#include <cstddef>
#include <string>
#include <vector>

namespace velm {

struct ArticleVisit {
    std::string topicId;
    std::vector<std::string> keywords; // UTF-8; the search that listed the topic, marked in its page
    double scrollX = 0;                // where the page stood when the user left it
    double scrollY = 0;
};

class ArticleHistory {
public:
    explicit ArticleHistory(std::size_t limit = 100) : m_limit(limit < 1 ? 1 : limit) {}

    // A topic opened anew: it follows the current one and the topics ahead are dropped. The current topic
    // opened again stays one visit, shown from its top with the new keywords. The oldest visits go once
    // the list is full.
    void visit(ArticleVisit visit);

    bool canGoBack() const { return m_current > 0 && !m_visits.empty(); }
    bool canGoForward() const { return m_current + 1 < m_visits.size(); }
    // Moves one visit and gives the visit moved to, or nullptr (and no move) when there is none.
    const ArticleVisit *back();
    const ArticleVisit *forward();

    ArticleVisit *current() { return m_visits.empty() ? nullptr : &m_visits[m_current]; }
    const ArticleVisit *current() const { return m_visits.empty() ? nullptr : &m_visits[m_current]; }
    std::size_t size() const { return m_visits.size(); }
    std::size_t position() const { return m_current; }
    void clear();

private:
    std::vector<ArticleVisit> m_visits;
    std::size_t m_current = 0;
    std::size_t m_limit;
};

} // namespace velm
