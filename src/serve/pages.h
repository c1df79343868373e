#pragma once
// The archive's pages as the server gives them: the forum tree, a forum's topics, a topic, the two searches.
#include "serve/page_frame.h"

#include <memory>
#include <string>
#include <string_view>

namespace velm::serve {

class PageServer {
public:
    // sqlitePath is the archive's SQLite file; forumBaseUrl the forum's address (UTF-8) for post icons and
    // the links of a topic's marker line.
    PageServer(std::string sqlitePath, std::string forumBaseUrl);
    ~PageServer();
    PageServer(const PageServer &) = delete;
    PageServer &operator=(const PageServer &) = delete;

    // The page for a GET of the target. Any thread may call it: each thread reads through a read-only
    // connection of its own, opened on its first request.
    Response respond(std::string_view target) const;

    // The searches may run long: the server gives them threads of their own.
    static bool isSearch(std::string_view target);

    // Stops every statement running for this server now, on whatever thread; those requests fail.
    void interrupt() const;

    struct Workers;

private:
    std::string m_sqlitePath;
    std::string m_forumBaseUrl;
    std::shared_ptr<Workers> m_workers;
};

} // namespace velm::serve
