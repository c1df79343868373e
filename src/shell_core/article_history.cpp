#include "shell_core/article_history.h"

#include <utility>

namespace velm {

void ArticleHistory::visit(ArticleVisit visit)
{
    if (ArticleVisit *shown = current(); shown && shown->topicId == visit.topicId) {
        *shown = std::move(visit);
        m_visits.resize(m_current + 1);
        return;
    }
    if (!m_visits.empty())
        m_visits.resize(m_current + 1);
    m_visits.push_back(std::move(visit));
    if (m_visits.size() > m_limit)
        m_visits.erase(m_visits.begin(), m_visits.begin() + static_cast<std::ptrdiff_t>(m_visits.size() - m_limit));
    m_current = m_visits.size() - 1;
}

const ArticleVisit *ArticleHistory::back()
{
    if (!canGoBack())
        return nullptr;
    return &m_visits[--m_current];
}

const ArticleVisit *ArticleHistory::forward()
{
    if (!canGoForward())
        return nullptr;
    return &m_visits[++m_current];
}

void ArticleHistory::clear()
{
    m_visits.clear();
    m_current = 0;
}

} // namespace velm
