#pragma once
// The HTTP side of the server: connections, bounds, time-outs and shutdown. Requests are read and
// answered by Boost.Beast on one thread; pages are made on pools of worker threads.
#include "serve/page_frame.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velm::serve {

struct ServerOptions {
    std::string address = "127.0.0.1";             // numeric IPv4 or IPv6 address
    unsigned short port = 8480;                    // 0 takes any free port
    int threads = 2;                               // threads making pages; the searches get half as many of their own
    int maxConnections = 4096;                     // connections beyond it are answered 503 and closed
    std::size_t requestLineLimit = 8 * 1024;       // 414 beyond it
    std::size_t headerLimit = 16 * 1024;           // 431 beyond it
    std::chrono::milliseconds idleTimeout{30'000}; // for a whole request to arrive, or a response to be taken
    std::chrono::milliseconds stopGrace{1'500};    // how long a stop lets requests in flight run on
    bool handleSignals = true;                     // SIGINT and SIGTERM stop the server
};

struct ServerHooks {
    // The page for a GET or HEAD of the target (called on a worker thread).
    std::function<Response(std::string_view target)> page;
    // Targets whose pages may take long go to threads of their own, so that other pages keep coming.
    std::function<bool(std::string_view target)> isSlow;
    // Cuts short the work of pages still being made when a stop's grace has run out (any thread).
    std::function<void()> interrupt;
    // One line of the access log, in common log format, without its line end.
    std::function<void(const std::string &line)> log;
};

class HttpServer {
public:
    // Binds the address at once: a failure (address in use, not an address) throws Error.
    HttpServer(const ServerOptions &options, ServerHooks hooks);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // The address and port bound, as "127.0.0.1:8480" or "[::1]:8480".
    std::string boundAddress() const;
    // The most connections served at once after the limit of open files was raised as far as allowed.
    int maxConnections() const;
    // Serves until stop() or a signal; returns when the requests in flight have been answered (or the
    // grace has run out) and every connection is closed.
    void run();
    // Stops accepting, closes idle connections and lets those in flight finish; any thread may call it.
    void stop();

    struct Impl;

private:
    std::unique_ptr<Impl> m;
};

} // namespace velm::serve
