// The quick search and the advanced search: the window's searches, their results as a topic list whose
// pages mark the keywords.
#include "archive/forum_text.h"
#include "base/cp950.h"
#include "base/error.h"
#include "codeconv/typed_text.h"
#include "search/advanced_search.h"
#include "search/quick_search.h"
#include "search/search_host.h"
#include "serve/pages_internal.h"

#include <charconv>

namespace velm::serve::detail {
namespace {

// The topic query of one request, standing in for the window's.
class PageSearchHost final : public SearchHost {
public:
    explicit PageSearchHost(Connection &archive) : m_topic(&archive)
    {
        m_topic.setStreaming(true);
        m_topic.setColumns({std::begin(kTopicCellColumns), std::end(kTopicCellColumns)});
    }
    void changeTopicQuery(const std::function<void(Query &)> &change) override { change(m_topic); }
    void setStatusText(const std::string &) override {}
    void searchFound(const std::vector<std::string> &keywordsCp950) override { m_keywords = keywordsCp950; }

    Query &topic() { return m_topic; }
    // The words to mark on the opened pages, as the address of a topic carries them.
    std::string highlightQuery() const
    {
        std::string query;
        for (const std::string &word : m_keywords)
            query.append(query.empty() ? "?hl=" : "&amp;hl=").append(queryValue(fromCp950(word)));
        return query;
    }

private:
    Query m_topic;
    std::vector<std::string> m_keywords;
};

// One page of a search's rows: the rows of the pages before it are passed over.
std::string resultPage(PageSearchHost &host, Worker &worker, long long page, const std::string &pageLinkBase)
{
    Query &topic = host.topic();
    for (long long skip = (page - 1) * kTopicsPerPage; skip > 0 && !topic.eof(); --skip)
        topic.next();
    if (topic.eof())
        return "<p class=\"message\">查無資料</p>";
    bool more = false;
    std::string html = topicTable(topic, worker, host.highlightQuery(), more);
    return html + pager(pageLinkBase, page, more);
}

std::string option(std::string_view value, std::string_view text, bool selected)
{
    std::string html = "<option value=\"";
    html.append(value).append(selected ? "\" selected>" : "\">").append(text).append("</option>");
    return html;
}

struct ParsedChoices {
    SearchChoices choices;
    bool run = false; // the form was sent
};

std::optional<int> smallNumber(const std::optional<std::string> &text, int low, int high)
{
    int n = 0;
    if (!text)
        return std::nullopt;
    const char *end = text->data() + text->size();
    const auto parsed = std::from_chars(text->data(), end, n);
    if (text->empty() || parsed.ec != std::errc() || parsed.ptr != end || n < low || n > high)
        return std::nullopt;
    return n;
}

// The dialog's choices from the form's fields; nothing when a field holds what the dialog cannot.
std::optional<ParsedChoices> parseChoices(const RequestTarget &target, const std::vector<SearchForum> &forums)
{
    ParsedChoices parsed;
    SearchChoices &c = parsed.choices;
    parsed.run = target.value("run").has_value();
    c.keywords = TypedToBig5(target.value("kw").value_or(""));
    c.member = TypedToBig5(target.value("member").value_or(""));
    const std::string mode = target.value("mode").value_or("and");
    if (mode != "whole" && mode != "and" && mode != "or")
        return std::nullopt;
    c.mode = mode == "whole" ? MatchMode::WholeLine : mode == "and" ? MatchMode::And : MatchMode::Or;
    const std::string field = target.value("field").value_or("all");
    if (field != "all" && field != "subject")
        return std::nullopt;
    c.field = field == "all" ? SearchField::All : SearchField::SubjectOnly;
    const auto date = smallNumber(target.value("date").value_or("0"), 0, static_cast<int>(kDateRanges.size()) - 1);
    if (!date)
        return std::nullopt;
    c.datePosition = *date;
    const std::string forum = target.value("forum").value_or("0");
    if (forum != "0") {
        for (const SearchForum &f : forums)
            if (std::to_string(f.id) == forum)
                c.forum = f.id;
        if (!c.forum)
            return std::nullopt;
    }
    if (parsed.run)
        for (int box = 0; box < kSearchBoxCount; ++box)
            c.boxes[static_cast<size_t>(box)] = target.value("b" + std::to_string(box + 1)).has_value();
    return parsed;
}

std::string advancedForm(const SearchChoices &c, const std::vector<SearchForum> &forums)
{
    std::string html = "<form class=\"asearch\" action=\"/asearch\" method=\"get\"><input type=\"hidden\" "
                       "name=\"run\" value=\"1\">";
    html.append("<label for=\"kw\">尋找內容</label><input id=\"kw\" name=\"kw\" title=\"空白不輸入代表查詢全部資料\" "
                "value=\"")
        .append(htmlEscaped(fromCp950(c.keywords)))
        .append("\">");
    html.append("<span>比對方式</span><select name=\"mode\">");
    html.append(option("whole", "整行符合", c.mode == MatchMode::WholeLine));
    html.append(option("and", "用AND查詢 (查詢關鍵字用空白間隔)", c.mode == MatchMode::And));
    html.append(option("or", "用OR查詢 (查詢關鍵字用空白間隔)", c.mode == MatchMode::Or));
    html.append("</select><label for=\"date\">時間</label><select id=\"date\" name=\"date\">");
    for (size_t i = 0; i < kDateRanges.size(); ++i)
        html.append(option(std::to_string(i), kDateRanges[i], static_cast<int>(i) == c.datePosition));
    html.append("</select><label for=\"field\">欄位</label><select id=\"field\" name=\"field\">");
    html.append(option("all", "全部欄位", c.field == SearchField::All));
    html.append(option("subject", "只找主題", c.field == SearchField::SubjectOnly));
    html.append("</select><label for=\"member\">會員</label><input id=\"member\" name=\"member\" value=\"");
    html.append(htmlEscaped(fromCp950(c.member))).append("\">");
    html.append("<label for=\"forum\">討論區</label><select id=\"forum\" name=\"forum\">");
    html.append(option("0", "全部的討論區", !c.forum));
    for (const SearchForum &f : forums)
        html.append(option(std::to_string(f.id), htmlEscaped(fromCp950(f.subject)), c.forum == f.id));
    html.append("</select><fieldset><legend>尋找分類</legend>");
    for (int box = 0; box < kSearchBoxCount; ++box) {
        const std::string name = "b" + std::to_string(box + 1);
        html.append("<label><input type=\"checkbox\" name=\"").append(name).append("\" value=\"1\"");
        html.append(c.boxes[static_cast<size_t>(box)] ? " checked>" : ">");
        html.append(kSearchBoxes[static_cast<size_t>(box)].caption).append("</label> ");
    }
    html.append("</fieldset><button> 查詢</button></form>");
    return html;
}

// The form's fields as an address, for the links to the other pages of a result.
std::string choicesQuery(const SearchChoices &c)
{
    const char *mode = c.mode == MatchMode::WholeLine ? "whole" : c.mode == MatchMode::And ? "and" : "or";
    std::string query = "/asearch?run=1&amp;kw=" + queryValue(fromCp950(c.keywords)) + "&amp;mode=" + mode;
    query.append("&amp;date=").append(std::to_string(c.datePosition));
    query.append("&amp;field=").append(c.field == SearchField::All ? "all" : "subject");
    query.append("&amp;member=").append(queryValue(fromCp950(c.member)));
    query.append("&amp;forum=").append(c.forum ? std::to_string(*c.forum) : "0");
    for (int box = 0; box < kSearchBoxCount; ++box)
        if (c.boxes[static_cast<size_t>(box)])
            query.append("&amp;b").append(std::to_string(box + 1)).append("=1");
    return query + "&amp;page=";
}

} // namespace

Response searchPage(Worker &worker, const RequestTarget &target)
{
    const auto page = pageNumber(target);
    const auto typed = target.value("q");
    if (!page)
        return errorPage(400);
    if (!typed)
        return {200, framedPage("快速搜尋", "<h1>快速搜尋</h1><p>在上方的搜尋框輸入查詢鍵詞。</p>")};
    const std::string title = "搜尋: " + *typed;
    std::string body = "<h1>" + htmlEscaped(title) + "</h1>";
    PageSearchHost host(*worker.archive);
    // Simplified characters typed in the box reach the archive through the GB/Big5 table, as in the window.
    if (RunQuickSearch(host, TypedToBig5(*typed)))
        body.append(resultPage(host, worker, *page, "/search?q=" + queryValue(*typed) + "&amp;page="));
    else
        body.append("<p class=\"message\">查無資料</p>");
    return {200, framedPage(title, body)};
}

Response advancedSearchPage(Worker &worker, const RequestTarget &target)
{
    const auto page = pageNumber(target);
    const std::vector<SearchForum> forums = SearchForumList();
    const auto parsed = parseChoices(target, forums);
    if (!page || !parsed)
        return errorPage(400);
    std::string body = "<h1>搜尋文章</h1>" + advancedForm(parsed->choices, forums);
    if (parsed->run) {
        PageSearchHost host(*worker.archive);
        try {
            if (RunAdvancedSearch(host, parsed->choices, LocalToday()))
                body.append(resultPage(host, worker, *page, choicesQuery(parsed->choices)));
            else
                body.append("<p class=\"message\">找不到相關資料</p>");
        } catch (const Error &e) {
            // A member name that no member has: the dialog's message, with the form kept as it was.
            if (!std::string_view(e.what()).starts_with(B5("找不到會員")))
                throw;
            body.append("<p class=\"message\">").append(htmlEscaped(e.utf8())).append("</p>");
        }
    }
    return {200, framedPage("搜尋文章", body)};
}

} // namespace velm::serve::detail
