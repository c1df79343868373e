#include "packages/tests/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace velm::test {
namespace {

// A client that says nothing for this long is given up.
constexpr auto kIdleLimit = std::chrono::seconds(60);

bool sameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

bool sendAll(int socket, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t sent = ::send(socket, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

HttpRequest parseHead(const std::string &head)
{
    HttpRequest request;
    size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const size_t a = first.find(' ');
    const size_t b = first.find(' ', a + 1);
    request.method = first.substr(0, a);
    request.target = first.substr(a + 1, b - a - 1);
    request.version = b == std::string::npos ? std::string() : first.substr(b + 1);
    while (lineEnd != std::string::npos && lineEnd + 2 < head.size()) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.headers.emplace_back(line.substr(0, colon), value);
    }
    return request;
}

} // namespace

std::string HttpRequest::header(std::string_view name) const
{
    for (const auto &[n, v] : headers)
        if (sameNoCase(n, name))
            return v;
    return {};
}

std::string patternBytes(std::uint64_t from, std::size_t count)
{
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = from + i;
        out[i] = static_cast<char>((at * 7 + (at >> 12) * 13) % 251);
    }
    return out;
}

HttpAnswer page(std::string body, std::string contentType)
{
    HttpAnswer answer;
    answer.body = std::move(body);
    answer.headers.emplace_back("Content-Type", std::move(contentType));
    return answer;
}

HttpAnswer redirect(const std::string &location)
{
    HttpAnswer answer = page("<html><body>moved</body></html>");
    answer.status = 302;
    answer.headers.emplace_back("Location", location);
    return answer;
}

HttpAnswer fileAnswer(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return page({std::istreambuf_iterator<char>(in), {}}, "application/octet-stream");
}

HttpTestServer::HttpTestServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(m_listener, 64);
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

HttpTestServer::~HttpTestServer()
{
    m_stopping = true;
    m_acceptor.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(m_mutex);
        connections.swap(m_connections);
    }
    for (std::thread &t : connections)
        t.join();
    ::close(m_listener);
}

std::string HttpTestServer::base() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

std::string HttpTestServer::base(const std::string &host) const
{
    return "http://" + host + ":" + std::to_string(m_port) + "/";
}

void HttpTestServer::answer(const std::string &path, HttpAnswer answer)
{
    std::lock_guard lock(m_mutex);
    m_answers[path] = std::move(answer);
}

void HttpTestServer::remove(const std::string &path)
{
    std::lock_guard lock(m_mutex);
    m_answers.erase(path);
}

std::vector<HttpRequest> HttpTestServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> HttpTestServer::paths() const
{
    std::vector<std::string> out;
    for (const HttpRequest &r : requests())
        out.push_back(r.target.substr(0, r.target.find('?')));
    return out;
}

int HttpTestServer::count(const std::string &path) const
{
    const std::vector<std::string> all = paths();
    return static_cast<int>(std::count(all.begin(), all.end(), path));
}

void HttpTestServer::acceptLoop()
{
    while (!m_stopping) {
        pollfd listening{m_listener, POLLIN, 0};
        if (::poll(&listening, 1, 50) <= 0)
            continue;
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back([this, socket] { serve(socket); });
    }
}

void HttpTestServer::serve(int socket)
{
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string received;
    auto lastData = std::chrono::steady_clock::now();
    size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos && !m_stopping && std::chrono::steady_clock::now() - lastData < kIdleLimit) {
        pollfd reading{socket, POLLIN, 0};
        if (::poll(&reading, 1, 50) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        received.append(buffer, static_cast<size_t>(n));
        lastData = std::chrono::steady_clock::now();
        headEnd = received.find("\r\n\r\n");
    }
    if (headEnd == std::string::npos) {
        ::close(socket);
        return;
    }
    HttpRequest request = parseHead(received.substr(0, headEnd));
    const std::string path = request.target.substr(0, request.target.find('?'));
    HttpAnswer answer;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        const auto found = m_answers.find(path);
        answer = found != m_answers.end() ? found->second : page("<html><body>not found</body></html>");
        if (found == m_answers.end())
            answer.status = 404;
    }

    if (answer.silent) {
        drain(socket, kIdleLimit);
        ::close(socket);
        return;
    }
    const std::uint64_t length = answer.patternLength ? *answer.patternLength : answer.body.size();
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + reason(answer.status) + "\r\n";
    for (const auto &[name, value] : answer.headers)
        head += name + ": " + value + "\r\n";
    if (answer.declareLength)
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    head += "Connection: close\r\n\r\n";
    bool open = sendAll(socket, head);
    const std::uint64_t sent = answer.stallAfter ? std::min<std::uint64_t>(*answer.stallAfter, length) : length;
    const std::uint64_t pieces = static_cast<std::uint64_t>(std::max(1, answer.pieces));
    // A generated body goes out in bounded blocks, so the server never holds all of it either.
    const std::uint64_t pieceSize = std::max<std::uint64_t>(1, (sent + pieces - 1) / pieces);
    const std::uint64_t blockSize = answer.patternLength ? std::min<std::uint64_t>(pieceSize, 64 * 1024) : pieceSize;
    std::uint64_t nextPiece = 0;
    for (std::uint64_t done = 0; open && done < sent && !m_stopping;) {
        if (done == nextPiece) {
            if (answer.pause.count() > 0)
                std::this_thread::sleep_for(answer.pause);
            nextPiece += pieceSize;
        }
        const auto size = static_cast<std::size_t>(std::min({blockSize, nextPiece - done, sent - done}));
        open = answer.patternLength ? sendAll(socket, patternBytes(done, size))
                                    : sendAll(socket, std::string_view(answer.body).substr(done, size));
        done += size;
    }
    if (answer.stallAfter) {
        drain(socket, kIdleLimit);
        ::close(socket);
        return;
    }
    // Closing with unread input would reset the connection and could cost the client the answer's end.
    ::shutdown(socket, SHUT_WR);
    drain(socket, std::chrono::seconds(2));
    ::close(socket);
}

void HttpTestServer::drain(int socket, std::chrono::steady_clock::duration limit)
{
    const auto start = std::chrono::steady_clock::now();
    while (!m_stopping && std::chrono::steady_clock::now() - start < limit) {
        pollfd reading{socket, POLLIN, 0};
        if (::poll(&reading, 1, 50) <= 0)
            continue;
        char buffer[4096];
        if (::recv(socket, buffer, sizeof buffer, 0) <= 0)
            break;
    }
}

} // namespace velm::test
