#include "serve/pages.h"

#include "archive/util.h"
#include "base/error.h"
#include "serve/pages_internal.h"
#include "serve/read_only_archive.h"
#include "sqlite/sqlite_db.h"

#include <charconv>
#include <mutex>
#include <set>

namespace velm::serve {

// The connections of a server's worker threads, so that they can be interrupted from another thread.
struct PageServer::Workers {
    std::mutex mutex;
    std::set<sqlite3 *> handles;
};

namespace {

// A thread's worker for the server it last served; a thread serves one server at a time.
struct ThreadWorker {
    explicit ThreadWorker(std::shared_ptr<PageServer::Workers> workers) : owner(std::move(workers)) {}
    ThreadWorker(const ThreadWorker &) = delete;
    ThreadWorker &operator=(const ThreadWorker &) = delete;

    std::shared_ptr<PageServer::Workers> owner;
    detail::Worker worker;

    ~ThreadWorker()
    {
        const std::lock_guard lock(owner->mutex);
        if (worker.archive && worker.archive->connected())
            owner->handles.erase(worker.archive->handle());
    }
};

thread_local std::unique_ptr<ThreadWorker> t_worker;

// The thread's default connection is the worker's while a page is made, as the searches use it.
class DefaultConnectionScope {
public:
    explicit DefaultConnectionScope(Connection *connection) : m_previous(DefaultConnection())
    {
        SetDefaultConnection(connection);
    }
    ~DefaultConnectionScope() { SetDefaultConnection(m_previous); }
    DefaultConnectionScope(const DefaultConnectionScope &) = delete;
    DefaultConnectionScope &operator=(const DefaultConnectionScope &) = delete;

private:
    Connection *m_previous;
};

// "/name/ID" gives the id's digits; nothing for another path.
std::optional<std::string> idAfter(std::string_view path, std::string_view prefix)
{
    if (!path.starts_with(prefix))
        return std::nullopt;
    const std::string_view id = path.substr(prefix.size());
    std::int64_t value = 0;
    const auto parsed = std::from_chars(id.data(), id.data() + id.size(), value);
    if (id.empty() || parsed.ec != std::errc() || parsed.ptr != id.data() + id.size() || id.front() == '-')
        return std::nullopt;
    return std::string(id);
}

Response route(detail::Worker &worker, const RequestTarget &target, const std::string &forumBaseUrl)
{
    const std::string &path = target.path;
    if (path == "/")
        return detail::treePage(worker);
    if (const auto id = idAfter(path, "/forum/"))
        return detail::forumPage(worker, std::stoll(*id), target);
    if (const auto id = idAfter(path, "/topic/"))
        return detail::topicPage(worker, *id, target, forumBaseUrl);
    if (path == "/search")
        return detail::searchPage(worker, target);
    if (path == "/asearch")
        return detail::advancedSearchPage(worker, target);
    return errorPage(404);
}

} // namespace

PageServer::PageServer(std::string sqlitePath, std::string forumBaseUrl)
    : m_sqlitePath(std::move(sqlitePath)), m_forumBaseUrl(std::move(forumBaseUrl)),
      m_workers(std::make_shared<Workers>())
{
}

PageServer::~PageServer() = default;

bool PageServer::isSearch(std::string_view target)
{
    return target.starts_with("/search") || target.starts_with("/asearch");
}

void PageServer::interrupt() const
{
    const std::lock_guard lock(m_workers->mutex);
    for (sqlite3 *handle : m_workers->handles)
        sqlite3_interrupt(handle);
}

Response PageServer::respond(std::string_view target) const
{
    const auto parsed = parseRequestTarget(target);
    if (!parsed)
        return errorPage(400);
    try {
        if (!t_worker || t_worker->owner != m_workers) {
            t_worker.reset();
            auto fresh = std::make_unique<ThreadWorker>(m_workers);
            fresh->worker.archive = openReadOnlyArchive(m_sqlitePath);
            const std::lock_guard lock(m_workers->mutex);
            m_workers->handles.insert(fresh->worker.archive->handle());
            t_worker = std::move(fresh);
        }
        detail::Worker &worker = t_worker->worker;
        const DefaultConnectionScope scope(worker.archive.get());
        // One snapshot for the whole page, whatever an import commits meanwhile.
        sqlite::Transaction snapshot(worker.archive->handle());
        Response response = route(worker, *parsed, m_forumBaseUrl);
        snapshot.commit();
        return response;
    } catch (const Error &e) {
        return errorPage(500, e.utf8());
    } catch (const std::exception &e) {
        return errorPage(500, e.what());
    }
}

} // namespace velm::serve
