// Asio's coroutine support in Boost 1.74 uses std::exchange without including its header.
#include <utility>

#include "serve/http_server.h"

#include "base/error.h"
#include "base/local_time.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <unordered_map>

#include <sys/resource.h>

namespace velm::serve {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

class Session;

// Raises the soft limit of open files towards what the connections need; returns the connections allowed.
int connectionsWithinFileLimit(int wanted)
{
    constexpr int kSpareFiles = 64; // the archive's files, the listening socket, the terminal
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return wanted;
    const rlim_t needed = static_cast<rlim_t>(wanted) + kSpareFiles;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < needed) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? needed : std::min(needed, limit.rlim_max);
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= needed)
        return wanted;
    return std::max(1, static_cast<int>(limit.rlim_cur) - kSpareFiles);
}

bool isGetOrHead(http::verb method)
{
    return method == http::verb::get || method == http::verb::head;
}

std::string endpointText(const tcp::endpoint &endpoint)
{
    const std::string address = endpoint.address().to_string();
    return (endpoint.address().is_v6() ? "[" + address + "]" : address) + ":" + std::to_string(endpoint.port());
}

} // namespace

struct HttpServer::Impl {
    Impl(const ServerOptions &o, ServerHooks h)
        : options(o), hooks(std::move(h)), pages(static_cast<std::size_t>(std::max(1, o.threads))),
          searches(static_cast<std::size_t>(std::max(1, o.threads / 2)))
    {
    }

    void accept();
    void beginStop();
    void sessionEnded();
    std::vector<std::shared_ptr<Session>> liveSessions();

    ServerOptions options;
    ServerHooks hooks;
    int maxConnections = 0;
    bool stopping = false;               // on the io thread only
    std::atomic<bool> destroying{false}; // the io context may be going: nothing more is posted to it
    std::atomic<int> connections{0};
    // Declared before the io context, which may end the last sessions when it goes.
    std::mutex sessionsMutex;
    std::unordered_map<Session *, std::weak_ptr<Session>> sessions;
    // Every connection is read and written on this one thread; pages are made on the pools.
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    net::signal_set signals{io};
    net::steady_timer retry{io};
    net::steady_timer deadline{io};
    std::optional<net::executor_work_guard<net::io_context::executor_type>> work;
    net::thread_pool pages;
    net::thread_pool searches;
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(HttpServer::Impl &server, tcp::socket socket)
        : m_server(server), m_stream(std::move(socket)),
          m_buffer(2 * (server.options.requestLineLimit + server.options.headerLimit))
    {
        ++m_server.connections;
        beast::error_code ec;
        const tcp::endpoint peer = m_stream.socket().remote_endpoint(ec);
        m_remote = ec ? "-" : peer.address().to_string();
    }

    ~Session()
    {
        {
            const std::lock_guard lock(m_server.sessionsMutex);
            m_server.sessions.erase(this);
        }
        if (--m_server.connections == 0 && !m_server.destroying)
            net::post(m_server.io, [&server = m_server] { server.sessionEnded(); });
    }

    void start(bool refused)
    {
        {
            const std::lock_guard lock(m_server.sessionsMutex);
            m_server.sessions.emplace(this, weak_from_this());
        }
        if (refused)
            reply(errorPage(503), false);
        else
            read();
    }

    // A stop closes a connection that waits for a request; one being answered closes after its answer.
    void closeIfIdle()
    {
        if (!m_busy)
            close();
    }

    void close()
    {
        beast::error_code ec;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ec);
        m_stream.socket().close(ec);
    }

private:
    void read()
    {
        if (m_server.stopping)
            return close();
        m_busy = false;
        m_parser.emplace();
        m_parser->header_limit(
            static_cast<std::uint32_t>(m_server.options.requestLineLimit + m_server.options.headerLimit));
        // The whole request, however slowly it comes, must arrive within the time-out.
        m_stream.expires_after(m_server.options.idleTimeout);
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onRead(ec); });
    }

    void onRead(beast::error_code ec)
    {
        m_requestLine = "-";
        // A request line too long for the limit of the whole head never became a request line.
        const bool lineRead = !m_parser->get().method_string().empty();
        if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
            return reply(errorPage(lineRead ? 431 : 414), false);
        if (ec == http::error::unexpected_body || ec == http::error::body_limit)
            return reply(errorPage(isGetOrHead(m_parser->get().method()) ? 413 : 405), false);
        // Every parse error shares one category; the end of the stream is no error of the client's.
        if (ec && ec != http::error::end_of_stream && ec != http::error::partial_message &&
            ec.category() == beast::error_code(http::error::header_limit).category())
            return reply(errorPage(400), false);
        if (ec)
            return close(); // closed by the client, timed out, or cut off by a stop

        const auto &request = m_parser->get();
        m_head = request.method() == http::verb::head;
        m_requestLine = std::string(request.method_string()) + " " + std::string(request.target()) +
                        (request.version() == 10 ? " HTTP/1.0" : " HTTP/1.1");
        std::size_t headerBytes = 0;
        for (const auto &field : request)
            headerBytes += field.name_string().size() + field.value().size() + 4;
        if (m_requestLine.size() > m_server.options.requestLineLimit)
            return reply(errorPage(414), false);
        if (headerBytes > m_server.options.headerLimit)
            return reply(errorPage(431), false);
        if (!isGetOrHead(request.method()))
            return reply(errorPage(405), false);

        m_busy = true;
        const bool keepAlive = request.keep_alive();
        std::string target(request.target());
        auto &pool = m_server.hooks.isSlow && m_server.hooks.isSlow(target) ? m_server.searches : m_server.pages;
        net::post(pool, [self = shared_from_this(), target = std::move(target), keepAlive]() mutable {
            Response response = self->m_server.hooks.page(target);
            // The session goes back to the io thread whole: it must end there, not on a worker.
            auto &io = self->m_server.io;
            net::post(io, [self = std::move(self), response = std::move(response), keepAlive]() mutable {
                self->reply(std::move(response), keepAlive);
            });
        });
    }

    void reply(Response page, bool keepAlive)
    {
        m_busy = true;
        m_response = {};
        m_response.version(11);
        m_response.result(static_cast<unsigned>(page.status));
        m_response.set(http::field::content_type, "text/html; charset=utf-8");
        m_response.set("Content-Security-Policy", page.policy);
        m_response.set("X-Content-Type-Options", "nosniff");
        m_response.set("Referrer-Policy", "no-referrer");
        m_response.set(http::field::cache_control, "no-cache");
        if (page.status == 405)
            m_response.set(http::field::allow, "GET, HEAD");
        m_response.keep_alive(keepAlive && !m_server.stopping);
        m_bodyBytes = page.body.size();
        if (!m_head)
            m_response.body() = std::move(page.body);
        m_response.content_length(m_bodyBytes);
        m_stream.expires_after(m_server.options.idleTimeout);
        http::async_write(m_stream, m_response,
                          [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onWrite(ec); });
    }

    void onWrite(beast::error_code ec)
    {
        if (m_server.hooks.log)
            m_server.hooks.log(m_remote + " - - [" + LocalTimeNow("%d/%b/%Y:%H:%M:%S %z") + "] \"" + m_requestLine +
                               "\" " + std::to_string(m_response.result_int()) + " " +
                               (m_head || m_bodyBytes == 0 ? "-" : std::to_string(m_bodyBytes)));
        if (ec)
            return close();
        if (!m_response.keep_alive())
            return closeAfterReply();
        read();
    }

    // Closing at once could reset the connection before the client has read the answer, while what it still
    // sends arrives: the sending side is shut, and what comes is read and dropped for a moment.
    void closeAfterReply()
    {
        m_busy = false;
        beast::error_code ec;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ec);
        m_stream.expires_after(
            std::min<std::chrono::milliseconds>(m_server.options.idleTimeout, std::chrono::seconds(2)));
        drain();
    }

    void drain()
    {
        static std::array<char, 4096> dropped; // only the io thread reads into it
        m_stream.async_read_some(net::buffer(dropped), [self = shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec)
                return self->close();
            self->drain();
        });
    }

    HttpServer::Impl &m_server;
    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::empty_body>> m_parser;
    http::response<http::string_body> m_response;
    std::string m_remote;
    std::string m_requestLine = "-";
    std::size_t m_bodyBytes = 0;
    bool m_head = false;
    bool m_busy = false;
};

} // namespace

void HttpServer::Impl::accept()
{
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (stopping || !acceptor.is_open())
            return;
        if (ec) {
            // Out of descriptors, most likely: try again shortly rather than spin.
            retry.expires_after(std::chrono::milliseconds(100));
            retry.async_wait([this](beast::error_code waited) {
                if (!waited)
                    accept();
            });
            return;
        }
        const bool refused = connections.load() >= maxConnections;
        std::make_shared<Session>(*this, std::move(socket))->start(refused);
        accept();
    });
}

std::vector<std::shared_ptr<Session>> HttpServer::Impl::liveSessions()
{
    std::vector<std::shared_ptr<Session>> live;
    const std::lock_guard lock(sessionsMutex);
    for (auto &[raw, weak] : sessions)
        if (auto session = weak.lock())
            live.push_back(std::move(session));
    return live;
}

void HttpServer::Impl::beginStop()
{
    if (stopping)
        return;
    stopping = true;
    beast::error_code ec;
    acceptor.close(ec);
    signals.cancel(ec);
    retry.cancel();
    for (auto &session : liveSessions())
        session->closeIfIdle();
    deadline.expires_after(options.stopGrace);
    deadline.async_wait([this](beast::error_code waited) {
        if (waited)
            return;
        // Requests still in flight have had their time: their statements are cut short and they are closed.
        if (hooks.interrupt)
            hooks.interrupt();
        for (auto &session : liveSessions())
            session->close();
        work.reset();
        io.stop();
    });
    if (connections.load() == 0)
        sessionEnded();
}

void HttpServer::Impl::sessionEnded()
{
    if (stopping && connections.load() == 0) {
        deadline.cancel();
        work.reset();
    }
}

HttpServer::HttpServer(const ServerOptions &options, ServerHooks hooks)
    : m(std::make_unique<Impl>(options, std::move(hooks)))
{
    m->maxConnections = connectionsWithinFileLimit(std::max(1, options.maxConnections));
    try {
        const tcp::endpoint endpoint(net::ip::make_address(options.address), options.port);
        m->acceptor.open(endpoint.protocol());
        m->acceptor.set_option(net::socket_base::reuse_address(true));
        m->acceptor.bind(endpoint);
        m->acceptor.listen(net::socket_base::max_listen_connections);
    } catch (const boost::system::system_error &e) {
        raiseUtf8("無法在 " + options.address + ":" + std::to_string(options.port) + " 提供服務: " + e.what());
    }
}

HttpServer::~HttpServer()
{
    m->pages.join();
    m->searches.join();
    m->destroying = true;
}

std::string HttpServer::boundAddress() const
{
    beast::error_code ec;
    return endpointText(m->acceptor.local_endpoint(ec));
}

int HttpServer::maxConnections() const
{
    return m->maxConnections;
}

void HttpServer::run()
{
    m->work.emplace(m->io.get_executor());
    if (m->options.handleSignals) {
        m->signals.add(SIGINT);
        m->signals.add(SIGTERM);
        m->signals.async_wait([this](beast::error_code ec, int) {
            if (!ec)
                m->beginStop();
        });
    }
    m->accept();
    m->io.run();
    // Pages still being made after an interrupted stop end before the server does.
    m->pages.join();
    m->searches.join();
}

void HttpServer::stop()
{
    net::post(m->io, [impl = m.get()] { impl->beginStop(); });
}

} // namespace velm::serve
