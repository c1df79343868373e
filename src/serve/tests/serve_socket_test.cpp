// velm serve itself, through real sockets: its bounds, its limit of connections, a slow client and a stop.
#include "serve_archive.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace velm::serve {
namespace {

using Clock = std::chrono::steady_clock;

class Socket {
public:
    explicit Socket(int port, int receiveBuffer = 0) : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        if (receiveBuffer > 0)
            setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~Socket() { ::close(m_fd); }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    bool connected() const { return m_connected; }
    bool send(const std::string &bytes) const
    {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Whether something (or the end) can be read within the time.
    bool readable(std::chrono::milliseconds wait) const
    {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(wait.count())) > 0;
    }
    // Everything until the server closes, or until nothing comes for a generous while.
    std::string readAll() const
    {
        std::string got;
        char buffer[65536];
        while (readable(std::chrono::seconds(20))) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

private:
    int m_fd;
    bool m_connected = false;
};

int statusOf(const std::string &response)
{
    return response.starts_with("HTTP/1.1 ") ? std::stoi(response.substr(9, 3)) : -1;
}

// velm serve on a free port of the loopback address, stopped when the test ends.
class Server {
public:
    Server(const std::string &archive, const QStringList &options)
    {
        m_process.setProgram(VELM_CLI_PATH);
        m_process.setArguments(
            QStringList{"--archive", QString::fromStdString(archive), "serve", "--listen", "127.0.0.1:0"} + options);
        m_process.start();
        EXPECT_TRUE(m_process.waitForReadyRead(30000)) << m_process.readAllStandardError().toStdString();
        const QString line = QString::fromUtf8(m_process.readLine());
        const int colon = line.indexOf(':', line.indexOf("127.0.0.1"));
        m_port = line.mid(colon + 1).section('/', 0, 0).toInt();
        EXPECT_GT(m_port, 0) << line.toStdString();
    }
    ~Server()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    int port() const { return m_port; }
    QProcess &process() { return m_process; }

    // The response to the bytes sent on a connection of its own.
    std::string exchange(const std::string &request) const
    {
        Socket socket(m_port);
        EXPECT_TRUE(socket.connected());
        socket.send(request);
        return socket.readAll();
    }

private:
    QProcess m_process;
    int m_port = 0;
};

TEST(ServeSocket, BoundsOfARequest)
{
    test::ServedArchive archive;
    Server server(archive.path(), {"--quiet"});
    struct Case {
        std::string request;
        int status;
    };
    const std::string close = "Connection: close\r\n\r\n";
    const Case cases[] = {
        {"GET / HTTP/1.1\r\nHost: x\r\n" + close, 200},
        {"GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n" + close, 414},
        {"GET /" + std::string(70000, 'a') + " HTTP/1.1\r\n" + close, 414},
        {"GET / HTTP/1.1\r\nX-Big: " + std::string(17000, 'a') + "\r\n" + close, 431},
        {"GET / HTTP/1.1\r\n" + std::string(40, 'X') + ": " + std::string(70000, 'a') + "\r\n" + close, 431},
        {"GET /search?q=%zz HTTP/1.1\r\n" + close, 400},
        {"GET /search?q=%C3%28 HTTP/1.1\r\n" + close, 400},
        {"GET /\xff HTTP/1.1\r\n" + close, 400},
        {"NOT HTTP AT ALL\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 3\r\n" + close + "abc", 405},
        {"GET / HTTP/1.1\r\nContent-Length: 3\r\n" + close + "abc", 413},
        {"GET /topic/1009?x HTTP/1.1\r\n" + close, 200},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.request.substr(0, 60));
        const std::string response = server.exchange(c.request);
        EXPECT_EQ(statusOf(response), c.status) << response.substr(0, 200);
        EXPECT_NE(response.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
    }
    // HEAD tells the length of the page without it; keep-alive serves several requests on one connection.
    const std::string head = server.exchange("HEAD / HTTP/1.1\r\n\r\nGET /nothing HTTP/1.1\r\n" + close);
    EXPECT_EQ(statusOf(head), 200);
    EXPECT_NE(head.find("Content-Length: "), std::string::npos);
    EXPECT_NE(head.find("\r\n\r\nHTTP/1.1 404"), std::string::npos) << head.substr(0, 400);
}

TEST(ServeSocket, ConnectionsBeyondTheLimitAndSlowClients)
{
    test::ServedArchive archive;
    Server server(archive.path(), {"--quiet", "--max-connections", "3", "--idle-timeout", "2"});
    {
        Socket a(server.port()), b(server.port()), c(server.port());
        ASSERT_TRUE(a.connected() && b.connected() && c.connected());
        EXPECT_EQ(statusOf(server.exchange("GET / HTTP/1.1\r\n\r\n")), 503);
        // The three held connections are closed once idle beyond the time-out.
        EXPECT_EQ(a.readAll(), "");
    }
    EXPECT_EQ(statusOf(server.exchange("GET / HTTP/1.1\r\nConnection: close\r\n\r\n")), 200);

    // A request that comes a byte at a time may not hold its connection beyond the time-out.
    Socket slow(server.port());
    const std::string request = "GET / HTTP/1.1\r\nX-Slow: " + std::string(300, 'a') + "\r\n\r\n";
    size_t sent = 0;
    const auto start = Clock::now();
    while (sent < request.size() && slow.send(request.substr(sent, 1))) {
        ++sent;
        if (slow.readable(std::chrono::milliseconds(100)))
            break;
    }
    EXPECT_LT(sent, request.size());
    EXPECT_EQ(slow.readAll(), "");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(25));
}

// A stop lets the response being sent finish and closes idle connections; the program then ends cleanly.
TEST(ServeSocket, StopFinishesRequestsInFlight)
{
    test::ServedArchive archive;
    archive.addTopic(8000, std::string(8 * 1024 * 1024, 'x'));
    Server server(archive.path(), {"--quiet"});
    Socket idle(server.port());
    Socket busy(server.port(), 4096);
    ASSERT_TRUE(busy.send("GET /topic/8000 HTTP/1.1\r\n\r\n"));
    ASSERT_TRUE(busy.readable(std::chrono::seconds(30))); // the answer has begun: it is in flight
    server.process().terminate();
    EXPECT_EQ(idle.readAll(), "");
    const std::string response = busy.readAll();
    EXPECT_EQ(statusOf(response), 200);
    const size_t headEnd = response.find("\r\n\r\n");
    const size_t lengthAt = response.find("Content-Length: ");
    ASSERT_NE(lengthAt, std::string::npos);
    EXPECT_EQ(response.size() - headEnd - 4, std::stoul(response.substr(lengthAt + 16)));
    ASSERT_TRUE(server.process().waitForFinished(10000));
    EXPECT_EQ(server.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.process().exitCode(), 0);
}

} // namespace
} // namespace velm::serve
