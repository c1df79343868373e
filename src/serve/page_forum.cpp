// A forum's topics, newest activity first, fifty a page, in the columns of the window's topic list.
#include "archive/forum_text.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/percent.h"
#include "serve/pages_internal.h"

#include <charconv>

namespace velm::serve::detail {
namespace {

// A cell of the topic table; a phone's narrow page shows its column's title before it.
std::string cell(const char *cssClass, const char *title, const std::string &cp950)
{
    const std::string text = htmlEscaped(fromCp950(cp950));
    std::string html = "<td class=\"";
    html.append(text.empty() ? "empty" : cssClass).append("\" data-label=\"").append(title).append("\">");
    return html.append(text).append("</td>");
}

} // namespace

std::optional<long long> pageNumber(const RequestTarget &target)
{
    const auto text = target.value("page");
    if (!text)
        return 1;
    long long page = 0;
    const char *end = text->data() + text->size();
    const auto parsed = std::from_chars(text->data(), end, page);
    if (text->empty() || parsed.ec != std::errc() || parsed.ptr != end || page < 1)
        return std::nullopt;
    return page;
}

std::string queryValue(std::string_view utf8)
{
    return percentEncoded(utf8);
}

std::string topicTable(Query &query, Worker &worker, std::string_view linkQuery, bool &more)
{
    MemberNames &members = memberNames(worker);
    std::string html = "<table class=\"topics\"><thead><tr><th>主題</th><th>發表時間</th><th>發表人</th>"
                       "<th>回覆數</th><th>最後回覆</th><th>黃金文章</th></tr></thead><tbody>";
    int rows = 0;
    for (; !query.eof() && rows < kTopicsPerPage; query.next(), ++rows) {
        const TopicCells cells = CurrentTopicCells(query, members, worker.archive.get());
        html.append("<tr><td class=\"subject\"><a href=\"/topic/").append(std::to_string(cells.topicId));
        html.append(linkQuery).append("\">").append(htmlEscaped(fromCp950(cells.subject))).append("</a></td>");
        html.append(cell("date", "發表時間", cells.date)).append(cell("author", "發表人", cells.author));
        html.append(cell("n", "回覆數", cells.replies)).append(cell("date", "最後回覆", cells.lastPost));
        html.append(cell("good", "黃金文章", cells.good));
        html.append("</tr>");
    }
    more = !query.eof();
    html.append("</tbody></table>");
    return html;
}

std::string pager(const std::string &pageLinkBase, long long page, bool more, std::optional<long long> lastPage)
{
    std::string html = "<nav class=\"pages\">";
    if (page > 1)
        html.append("<a href=\"").append(pageLinkBase).append(std::to_string(page - 1)).append("\">上一頁</a>");
    html.append("<span>第 ").append(std::to_string(page));
    if (lastPage)
        html.append(" / ").append(std::to_string(*lastPage));
    html.append(" 頁</span>");
    if (more)
        html.append("<a href=\"").append(pageLinkBase).append(std::to_string(page + 1)).append("\">下一頁</a>");
    return html.append("</nav>");
}

Response forumPage(Worker &worker, std::int64_t forumId, const RequestTarget &target)
{
    const auto page = pageNumber(target);
    if (!page)
        return errorPage(400);
    Connection &archive = *worker.archive;
    const std::string id = std::to_string(forumId);
    Value name;
    const bool known = SQLLookup("SELECT F_SUBJECT FROM FORUM_FORUM WHERE FORUM_ID=" + id, name, false, &archive);
    Value count;
    SQLLookup("select Count(*) from FORUM_TOPICS where FORUM_ID=" + id, count, false, &archive);
    const long long topics = count.toInt();
    const long long lastPage = std::max<long long>(1, (topics + kTopicsPerPage - 1) / kTopicsPerPage);
    if ((!known && topics == 0) || *page > lastPage)
        return errorPage(404);

    // The list's own statement, cut to one page and to the columns shown: "*" would read every post's
    // whole text as well.
    std::string columns;
    for (const char *column : kTopicCellColumns)
        columns.append(columns.empty() ? "" : ",").append(column);
    std::string sql = kForumTopicsSql;
    sql.replace(sql.find('*'), 1, columns);
    Query query(&archive);
    query.setStreaming(true);
    query.setSql(sql + " LIMIT " + std::to_string(kTopicsPerPage) + " OFFSET " +
                 std::to_string((*page - 1) * kTopicsPerPage));
    query.setParam("frm_id", Value::integer(forumId));
    query.open();
    bool more = false;
    const std::string title = fromCp950(name.toText());
    std::string body = "<h1>" + htmlEscaped(title) + "</h1>";
    body.append(topicTable(query, worker, {}, more));
    body.append(pager("/forum/" + id + "?page=", *page, *page < lastPage, lastPage));
    return {200, framedPage(title, body)};
}

} // namespace velm::serve::detail
