// The article page and the message markup, as the article view receives them.
#include "cli/session.h"

#include "article/article_page.h"
#include "base/cp950.h"
#include "settings/settings.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>

#include <unistd.h>

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

// Written beside the file and renamed over it, so a failed write leaves no half page behind.
bool writeFile(const std::string &path, const std::string &content, std::string &why)
{
    const std::string part = path + ".part-" + std::to_string(::getpid()); // two runs never share one
    {
        std::ofstream file(part, std::ios::binary | std::ios::trunc);
        file << content;
        file.close();
        if (!file) {
            why = std::strerror(errno);
            std::remove(part.c_str());
            return false;
        }
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        why = std::strerror(errno);
        std::remove(part.c_str());
        return false;
    }
    return true;
}

int article(Session &session, const std::vector<std::string> &args)
{
    std::vector<std::string> rest;
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--output") {
            rest.push_back(args[i]);
        } else if (i + 1 < args.size() && output.empty() && !args[i + 1].empty()) {
            output = args[++i];
        } else {
            return 2;
        }
    }
    std::int64_t topicId = 0;
    if (rest.size() != 1 || !parseId(rest[0], topicId))
        return 2;
    ArticlePage page;
    page.prepare(&session.archive());
    Big5Text html;
    if (!page.build(rest[0], forumBaseUrl(session), html)) {
        session.err() << "velm: no topic " << rest[0] << " in the archive\n";
        return 1;
    }
    if (output.empty()) {
        session.out() << ArticlePageUtf8(html);
        return written(session);
    }
    if (std::string why; !writeFile(output, ArticlePageUtf8(html), why)) {
        session.err() << "velm: cannot write " << output << ": " << why << '\n';
        return 1;
    }
    return 0;
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
        {"article",
         "  article [--output FILE] TOPIC_ID\n"
         "                       the topic's page as the article view shows it (UTF-8 HTML, CR LF line ends);\n"
         "                       --output writes it to FILE, a page a browser opens as it is\n",
         &article},
        {"markup",
         "  markup [--code N]    a stored post on standard input as the page's HTML, code page 950;\n"
         "                       N is its code-system value (1: GB), 0 by default\n",
         &markup},
    };
}

} // namespace velm
