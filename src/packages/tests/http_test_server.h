#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the network tests. It answers from its own threads, so a
// client that blocks the test's thread (or a browser engine) can still reach it. Every request is kept.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace velm::test {

struct HttpAnswer {
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers; // besides the length and the connection
    bool declareLength = true;          // false: the body runs until the server closes the connection
    int pieces = 1;                     // the body is sent in this many pieces...
    std::chrono::milliseconds pause{0}; // ...with this pause before each
    // When set, the body is this many bytes of patternBytes() instead, made as it is sent.
    std::optional<std::uint64_t> patternLength;
    // The request is read and nothing at all is sent back; the connection stays open.
    bool silent = false;
    // When set, only the head and this many bytes of the body are sent; the connection stays open.
    std::optional<std::size_t> stallAfter;
};

struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // as sent, in order
    // The value of the first header of that name (any letter case); empty when there is none.
    std::string header(std::string_view name) const;
};

// Bytes from..from+count of a long pattern that repeats no block, for big generated bodies.
std::string patternBytes(std::uint64_t from, std::size_t count);

HttpAnswer page(std::string body, std::string contentType = "text/html");
HttpAnswer redirect(const std::string &location);
HttpAnswer fileAnswer(const std::string &path);

class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer &) = delete;
    HttpTestServer &operator=(const HttpTestServer &) = delete;

    // "http://127.0.0.1:port/"
    std::string base() const;
    // The same server by another name, "http://" + host + ":port/": a name under "localhost" reaches it.
    std::string base(const std::string &host) const;
    // The answer for a path (the target without its query); any other path gets 404.
    void answer(const std::string &path, HttpAnswer answer);
    void remove(const std::string &path);

    std::vector<HttpRequest> requests() const;
    // The paths requested, in the order they came.
    std::vector<std::string> paths() const;
    int count(const std::string &path) const;

private:
    void acceptLoop();
    void serve(int socket);
    // Reads and drops what the client sends until it closes, the server stops or the limit passes.
    void drain(int socket, std::chrono::steady_clock::duration limit);

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping = false;
    mutable std::mutex m_mutex;
    std::map<std::string, HttpAnswer> m_answers;
    std::vector<HttpRequest> m_requests;
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};

} // namespace velm::test
