// A topic's page as the article view shows it, made safe to show in any browser.
#include "archive/forum_text.h"
#include "article/keyword_highlight.h"
#include "base/cp950.h"
#include "serve/pages_internal.h"
#include "serve/post_html.h"

namespace velm::serve::detail {
namespace {

// The template's first lines declare Big5; the page goes out as UTF-8 with a head of its own.
constexpr std::string_view kTemplateHead =
    "<html>\r\n<META http-equiv=Content-Type content=\"text/html; charset=big5\">";

} // namespace

Response topicPage(Worker &worker, const std::string &topicId, const RequestTarget &target,
                   const std::string &forumBaseUrl)
{
    ArticlePage &article = worker.article;
    if (!article.prepared())
        article.prepare(worker.archive.get());
    Big5Text built;
    const bool found = article.build(topicId, forumBaseUrl, built);
    std::string title;
    std::string forumId;
    if (found) {
        const Query &topic = article.Topic();
        title = fromCp950(
            SubjectText(topic.fieldByName("T_SUBJECT").asString(), topic.fieldByName("T_CODESYSTEM").value()));
        forumId = topic.fieldByName("FORUM_ID").asString();
    }
    // Open statements would hold this request's snapshot of the archive beyond it.
    article.Topic().close();
    article.Reply().close();
    if (!found)
        return errorPage(404);

    std::string page = built.toUtf8();
    if (page.starts_with(kTemplateHead))
        page.erase(0, kTemplateHead.size());
    page = RewriteTopicLinks(NeutralizeUnsafeTags(page));
    const std::vector<std::string> keywords = target.values("hl");
    if (!keywords.empty())
        page = HighlightKeywords(page, keywords);

    std::string body;
    if (!forumId.empty())
        body.append("<p><a href=\"/forum/").append(htmlEscaped(forumId)).append("\">回到主題列表</a></p>");
    body.append(page);
    return {200, framedPage(title, body, false), kPostPolicy};
}

} // namespace velm::serve::detail
