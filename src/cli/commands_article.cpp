// The article page and the message markup, as the article view receives them.
#include "cli/session.h"

#include "article/article_page.h"
#include "base/cp950.h"
#include "settings/settings.h"

#include <charconv>
#include <istream>
#include <iterator>
#include <ostream>

namespace velm {
namespace {

// The forum's address, UTF-8 like every address: as given on the command line, or the stored one.
std::string forumBaseUrl(const Session &session)
{
    return session.options().baseUrl.empty() ? ForumBaseURL() : session.options().baseUrl;
}

int written(Session &session)
{
    if (session.out().flush())
        return 0;
    session.err() << "velm: writing the output failed\n";
    return 1;
}

int article(Session &session, const std::vector<std::string> &args)
{
    std::int64_t topicId = 0;
    if (args.size() != 1 || !parseId(args[0], topicId))
        return 2;
    ArticlePage page;
    page.prepare(&session.archive());
    Big5Text html;
    if (!page.build(args[0], forumBaseUrl(session), html)) {
        session.err() << "velm: no topic " << args[0] << " in the archive\n";
        return 1;
    }
    session.out() << html.toUtf8();
    return written(session);
}

int markup(Session &session, const std::vector<std::string> &args)
{
    int codeSystem = 0;
    if (args.size() == 2 && args[0] == "--code") {
        const std::string &n = args[1];
        const auto parsed = std::from_chars(n.data(), n.data() + n.size(), codeSystem);
        if (n.empty() || parsed.ec != std::errc() || parsed.ptr != n.data() + n.size())
            return 2;
    } else if (!args.empty()) {
        return 2;
    }
    const std::string message(std::istreambuf_iterator<char>(session.in()), {});
    if (session.in().bad()) {
        session.err() << "velm: reading the input failed\n";
        return 1;
    }
    session.out() << ConvertMessageMarkup(Big5Text(message), codeSystem, forumBaseUrl(session)).bytes();
    return written(session);
}

} // namespace

std::vector<CliCommand> articleCommands()
{
    return {
        {"article", "  article TOPIC_ID     the topic's page as the article view shows it (HTML, CR LF line ends)\n",
         &article},
        {"markup",
         "  markup [--code N]    a stored post on standard input as the page's HTML, code page 950;\n"
         "                       N is its code-system value (1: GB), 0 by default\n",
         &markup},
    };
}

} // namespace velm
