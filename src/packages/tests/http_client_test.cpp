#include "packages/http_client.h"

#include "base/progress.h"
#include "packages/tests/http_test_server.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

using namespace velm;
using namespace velm::test;
namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const std::string &path, const std::string &data)
{
    std::ofstream(path, std::ios::binary) << data;
}

// The bar as the progress window would show it, and every report in order.
struct RecordedBar {
    SilentProgress bar;
    std::vector<std::string> reports;
    int waits = 0;

    TransferEvents events()
    {
        return {[this](std::int64_t total) {
                    IdHTTP1WorkBegin(bar, total);
                    reports.push_back("begin " + std::to_string(total));
                },
                [this](std::int64_t count) {
                    IdHTTP1Work(bar, count);
                    reports.push_back(std::to_string(count));
                },
                [this] { ++waits; }};
    }
};

// A port on 127.0.0.1 whose listen queue is already full: the system never completes another connection
// to it, so a client is left connecting until it gives up.
class FullListener {
public:
    FullListener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener.fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(m_listener.fd, 0) != 0 ||
            ::getsockname(m_listener.fd, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
            ::connect(m_filler.fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            ADD_FAILURE() << "cannot set up the listener";
        m_port = ntohs(address.sin_port);
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

private:
    struct Socket {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        Socket() = default;
        Socket(const Socket &) = delete;
        Socket &operator=(const Socket &) = delete;
        ~Socket() { ::close(fd); }
    };
    Socket m_listener;
    Socket m_filler;
    int m_port = 0;
};

// A field of /proc/self/status in kB; VmHWM is the peak resident size since the last resetPeakMemory().
std::int64_t memoryKb(const std::string &field)
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1));
    return -1;
}

bool resetPeakMemory()
{
    std::ofstream out("/proc/self/clear_refs");
    out << "5" << std::flush;
    return static_cast<bool>(out);
}

class HttpClientTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
    std::string url(const std::string &path) const { return server.base() + path.substr(1); }
    std::set<std::string> fileNames() const
    {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir.path().toStdString()))
            names.insert(entry.path().filename().string());
        return names;
    }

    QTemporaryDir dir;
    HttpTestServer server;
    HttpClient client;
};

} // namespace

TEST_F(HttpClientTest, FailedTransfersLeaveNoFileAndNeverReplaceOne)
{
    HttpAnswer cutShort = page("only part");
    cutShort.declareLength = false;
    cutShort.headers.emplace_back("Content-Length", "1000");
    HttpAnswer serverError = page("broken");
    serverError.status = 500;
    server.answer("/moved", redirect(url("/target")));
    server.answer("/target", page("the target"));
    server.answer("/short", cutShort);
    server.answer("/error", serverError);

    struct Case {
        const char *name;
        std::string url;
    };
    const Case cases[] = {
        {"404", url("/missing.VLP")},
        {"redirect", url("/moved")},
        {"server error", url("/error")},
        {"body cut short", url("/short")},
        {"connection refused", "http://127.0.0.1:1/x"},
        {"not http", "file://" + path("source")},
    };
    writeFile(path("source"), "local");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(client.DownloadFile(c.url, path("new.bin")));
        EXPECT_FALSE(fs::exists(path("new.bin")));
        writeFile(path("old.bin"), "kept");
        EXPECT_FALSE(client.DownloadFile(c.url, path("old.bin")));
        EXPECT_EQ(readFile(path("old.bin")), "kept");
        EXPECT_FALSE(client.lastError().empty());
    }
    EXPECT_EQ(server.count("/target"), 0); // the redirect was not followed
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir.path().toStdString()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"old.bin", "source"}));
}

TEST_F(HttpClientTest, WholeBodyReplacesTheFileAndWriteFailuresCount)
{
    std::string body(300000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7 % 251);
    server.answer("/2004W06.VLP", page(body, "application/octet-stream"));
    writeFile(path("TEMP.VLP"), "old");
    ASSERT_TRUE(client.DownloadFile(url("/2004W06.VLP"), path("TEMP.VLP"))) << client.lastError();
    EXPECT_EQ(readFile(path("TEMP.VLP")), body);
    EXPECT_TRUE(client.lastError().empty());
    EXPECT_FALSE(client.DownloadFile(url("/2004W06.VLP"), path("no such folder/TEMP.VLP")));
    EXPECT_FALSE(client.DownloadFile(url("/2004W06.VLP"), dir.path().toStdString()));
}

TEST_F(HttpClientTest, SilentOrStalledServerEndsTheTransferWithTheTimeOutMessage)
{
    HttpAnswer silent = page("never sent");
    silent.silent = true;
    HttpAnswer headOnly = page(std::string(5000, 'h'));
    headOnly.stallAfter = 0;
    HttpAnswer partBody = page(std::string(100000, 'p'), "application/octet-stream");
    partBody.stallAfter = 30000;
    server.answer("/silent", silent);
    server.answer("/head-only", headOnly);
    server.answer("/part-body", partBody);
    server.answer("/fine", page("fine"));
    client.setTimeouts(std::chrono::seconds(10), std::chrono::milliseconds(500));
    RecordedBar recorded;
    client.setEvents(recorded.events());
    writeFile(path("old.bin"), "kept");

    for (const char *name : {"/silent", "/head-only", "/part-body"}) {
        SCOPED_TRACE(name);
        for (bool toFile : {false, true}) {
            recorded.waits = 0;
            const auto started = std::chrono::steady_clock::now();
            std::string body;
            EXPECT_FALSE(toFile ? client.DownloadFile(url(name), path("old.bin")) : client.get(url(name), body));
            // Far below the server's own 60-second patience: the client gave up, the server did not hang up.
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
            EXPECT_EQ(client.lastError(), "傳輸中斷：伺服器已有 0.5 秒沒有傳來任何資料");
            // The window's events ran while nothing came.
            EXPECT_GT(recorded.waits, 0);
        }
    }
    EXPECT_EQ(recorded.bar.position(), 30000); // the part that came was reported as usual
    EXPECT_EQ(readFile(path("old.bin")), "kept");
    EXPECT_EQ(fileNames(), std::set<std::string>{"old.bin"});
    std::string body;
    EXPECT_TRUE(client.get(url("/fine"), body)) << client.lastError();
    EXPECT_EQ(body, "fine");
}

TEST_F(HttpClientTest, SlowButSteadyTransferOutlastsTheStallTimeOut)
{
    // Each pause is well inside the time-out, all of them together are beyond it.
    HttpAnswer steady = page(patternBytes(0, 10000), "application/octet-stream");
    steady.pieces = 10;
    steady.pause = std::chrono::milliseconds(300);
    server.answer("/steady", steady);
    client.setTimeouts(std::chrono::seconds(10), std::chrono::seconds(2));
    ASSERT_TRUE(client.DownloadFile(url("/steady"), path("steady.bin"))) << client.lastError();
    EXPECT_EQ(readFile(path("steady.bin")), patternBytes(0, 10000));
}

TEST_F(HttpClientTest, TrickleBelowTheMinimumSpeedEndsWithItsOwnMessage)
{
    // A byte every tenth of a second: never silent for long, yet far below 100 bytes a second.
    HttpAnswer trickle = page(std::string(10000, 't'), "application/octet-stream");
    trickle.pieces = 10000;
    trickle.pause = std::chrono::milliseconds(100);
    server.answer("/trickle", trickle);
    client.setMinimumSpeed(100, std::chrono::seconds(1));
    writeFile(path("old.bin"), "kept");
    EXPECT_FALSE(client.DownloadFile(url("/trickle"), path("old.bin")));
    EXPECT_EQ(client.lastError(), "傳輸中斷：伺服器在 1 秒內平均每秒傳來不到 100 位元組");
    EXPECT_EQ(readFile(path("old.bin")), "kept");
    EXPECT_EQ(fileNames(), std::set<std::string>{"old.bin"});
}

TEST_F(HttpClientTest, BodyOverItsLimitEndsTheTransferAsSoonAsItShows)
{
    HttpAnswer declared;
    declared.patternLength = 64ULL << 20;
    HttpAnswer undeclared = declared;
    undeclared.declareLength = false;
    server.answer("/declared", declared);
    server.answer("/undeclared", undeclared);
    server.answer("/exact", page(patternBytes(0, kHttpPageLimit)));
    std::int64_t most = 0;
    client.setEvents({{}, [&](std::int64_t count) { most = std::max(most, count); }, {}});
    for (const char *name : {"/declared", "/undeclared"}) {
        for (bool toFile : {false, true}) {
            SCOPED_TRACE(std::string(name) + (toFile ? " to a file" : " into memory"));
            std::string body;
            EXPECT_FALSE(toFile ? client.DownloadFile(url(name), path("list.htm"), kHttpPageLimit)
                                : client.get(url(name), body));
            EXPECT_EQ(client.lastError(), "傳輸中斷：伺服器傳來的內容超過 1 MB 的上限");
            EXPECT_LE(most, kHttpPageLimit);
        }
    }
    EXPECT_TRUE(fileNames().empty());
    std::string body;
    EXPECT_TRUE(client.get(url("/exact"), body)) << client.lastError();
    EXPECT_EQ(body, patternBytes(0, kHttpPageLimit));
}

TEST_F(HttpClientTest, ServerThatNeverTakesTheConnectionFailsWithTheConnectMessage)
{
    FullListener full;
    client.setTimeouts(std::chrono::seconds(1), std::chrono::seconds(30));
    const auto started = std::chrono::steady_clock::now();
    std::string body;
    EXPECT_FALSE(client.get(full.base() + "velmpack/update.htm", body));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_EQ(client.lastError(), "無法連線：伺服器在 1 秒內沒有回應");
    EXPECT_FALSE(client.DownloadFile(full.base() + "2004W06.VLP", path("TEMP.VLP")));
    EXPECT_TRUE(fileNames().empty());
}

TEST(HttpClientTimeOuts, ThirtySecondsEachUnlessChangedAndNeverBelowAMillisecond)
{
    using std::chrono::milliseconds;
    EXPECT_EQ(HttpClient().connectTimeout(), std::chrono::seconds(30));
    EXPECT_EQ(HttpClient().stallTimeout(), std::chrono::seconds(30));
    HttpClient client;
    client.setTimeouts(milliseconds(0), milliseconds(-5));
    EXPECT_EQ(client.connectTimeout(), milliseconds(1));
    EXPECT_EQ(client.stallTimeout(), milliseconds(1));
}

TEST_F(HttpClientTest, BigBodyStreamsIntoTheFileAndMemoryStaysFlat)
{
    constexpr std::uint64_t kSize = 64ULL * 1024 * 1024;
    HttpAnswer big;
    big.patternLength = kSize;
    big.headers.emplace_back("Content-Type", "application/octet-stream");
    server.answer("/big.VLP", big);

    // Halfway through, the bytes so far are already in a file of the target's folder (open here, perhaps
    // without a name yet), while the target does not exist.
    std::int64_t checkedAt = 0;
    std::uintmax_t onDisk = 0;
    bool targetSeen = false;
    RecordedBar recorded;
    TransferEvents events = recorded.events();
    events.work = [&](std::int64_t count) {
        IdHTTP1Work(recorded.bar, count);
        if (checkedAt || count < static_cast<std::int64_t>(kSize / 2))
            return;
        checkedAt = count;
        targetSeen = fs::exists(path("big.VLP"));
        const fs::path folder = fs::canonical(dir.path().toStdString());
        for (const auto &entry : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const fs::path target = fs::read_symlink(entry.path(), error);
            if (!error && target.parent_path() == folder)
                onDisk = std::max(onDisk, fs::file_size(entry.path(), error));
        }
    };
    client.setEvents(events);

    ASSERT_TRUE(resetPeakMemory()) << "the peak memory size cannot be reset here";
    const std::int64_t before = memoryKb("VmHWM");
    ASSERT_TRUE(client.DownloadFile(url("/big.VLP"), path("big.VLP"))) << client.lastError();
    const std::int64_t growthKb = memoryKb("VmHWM") - before;
    EXPECT_LT(growthKb, 16 * 1024) << "peak memory grew by " << growthKb << " kB";

    ASSERT_GT(checkedAt, 0);
    EXPECT_FALSE(targetSeen);
    EXPECT_GE(onDisk + 1024 * 1024, static_cast<std::uintmax_t>(checkedAt));
    EXPECT_EQ(recorded.reports.front(), "begin " + std::to_string(kSize));
    EXPECT_EQ(recorded.bar.maximum(), static_cast<int>(kSize));
    EXPECT_EQ(recorded.bar.position(), static_cast<int>(kSize));

    ASSERT_EQ(fs::file_size(path("big.VLP")), kSize);
    std::ifstream in(path("big.VLP"), std::ios::binary);
    std::string block(1024 * 1024, '\0');
    for (std::uint64_t at = 0; at < kSize; at += block.size()) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        ASSERT_TRUE(block == patternBytes(at, block.size())) << "bytes differ in the block at " << at;
    }
    EXPECT_EQ(fileNames(), std::set<std::string>{"big.VLP"});
}

TEST_F(HttpClientTest, RequestCarriesExactlyTheFixedHeaders)
{
    server.answer("/velmpack/update.htm", page("2004年06週"));
    std::string body;
    ASSERT_TRUE(client.get(url("/velmpack/update.htm"), body));
    const std::vector<HttpRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const HttpRequest &r = requests[0];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.version, "HTTP/1.1");
    EXPECT_EQ(r.target, "/velmpack/update.htm");
    std::set<std::string> names;
    for (const auto &[name, value] : r.headers)
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"Host", "Accept", "User-Agent", "Content-Type"}));
    EXPECT_EQ(r.header("accept"), "text/html, */*");
    EXPECT_EQ(r.header("user-agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(r.header("content-type"), "text/html");
}

TEST_F(HttpClientTest, AnInternationalAddressGoesOutInItsAsciiForm)
{
    // 論壇 is xn--ypsv87i; 中文 is E4 B8 AD E6 96 87 in UTF-8. A name under localhost reaches this machine.
    server.answer("/%E4%B8%AD%E6%96%87/velmpack/update.htm", page("list"));
    std::string body;
    ASSERT_TRUE(client.get(server.base("論壇.localhost") + "中文/velmpack/update.htm", body)) << client.lastError();
    EXPECT_EQ(body, "list");
    ASSERT_TRUE(client.DownloadFile(server.base("論壇.localhost") + "中文/velmpack/update.htm", path("中文.htm")))
        << client.lastError();
    EXPECT_EQ(readFile(path("中文.htm")), "list");
    const std::vector<HttpRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string ace = server.base("xn--ypsv87i.localhost"); // "http://" host ":" port "/"
    for (const HttpRequest &r : requests) {
        EXPECT_EQ(r.target, "/%E4%B8%AD%E6%96%87/velmpack/update.htm");
        EXPECT_EQ(r.header("host"), ace.substr(7, ace.size() - 8));
    }
}

TEST_F(HttpClientTest, CookiesLastForTheClientOnly)
{
    HttpAnswer login = page("hello");
    login.headers.emplace_back("Set-Cookie", "session=abc123; Path=/");
    server.answer("/login", login);
    server.answer("/next", page("next"));
    std::string body;
    ASSERT_TRUE(client.get(url("/login"), body));
    ASSERT_TRUE(client.get(url("/next"), body));
    HttpClient other;
    ASSERT_TRUE(other.get(url("/next"), body));
    const std::vector<HttpRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].header("Cookie"), "");
    EXPECT_EQ(requests[1].header("Cookie"), "session=abc123");
    EXPECT_EQ(requests[2].header("Cookie"), "");
}

TEST_F(HttpClientTest, ProxyVariablesOfTheEnvironmentAreIgnored)
{
    server.answer("/demo.html", page("demo"));
    for (const char *name : {"http_proxy", "HTTP_PROXY", "ALL_PROXY", "all_proxy"})
        setenv(name, "http://127.0.0.1:1", 1);
    HttpClient direct;
    std::string body;
    const bool fetched = direct.get(url("/demo.html"), body);
    for (const char *name : {"http_proxy", "HTTP_PROXY", "ALL_PROXY", "all_proxy"})
        unsetenv(name);
    EXPECT_TRUE(fetched) << direct.lastError();
    EXPECT_EQ(body, "demo");
}

TEST_F(HttpClientTest, BarFollowsEachTransferFromItsOwnStart)
{
    HttpAnswer slow = page(std::string(4000, 'a'));
    slow.pieces = 4;
    slow.pause = std::chrono::milliseconds(150);
    HttpAnswer unsized = page(std::string(2500, 'b'));
    unsized.declareLength = false;
    unsized.pieces = 3;
    unsized.pause = std::chrono::milliseconds(100);
    server.answer("/slow", slow);
    server.answer("/unsized", unsized);
    server.answer("/empty", page(""));

    RecordedBar recorded;
    client.setEvents(recorded.events());
    std::string body;
    ASSERT_TRUE(client.get(url("/slow"), body));
    EXPECT_EQ(recorded.reports.front(), "begin 4000");
    EXPECT_EQ(recorded.bar.maximum(), 4000);
    EXPECT_EQ(recorded.bar.position(), 4000);
    EXPECT_GT(recorded.reports.size(), 2u); // several pieces, each reported with the running count
    for (size_t i = 2; i < recorded.reports.size(); ++i)
        EXPECT_LT(std::stoll(recorded.reports[i - 1]), std::stoll(recorded.reports[i]));
    EXPECT_GT(recorded.waits, 0);

    recorded.reports.clear();
    ASSERT_TRUE(client.get(url("/unsized"), body));
    EXPECT_EQ(body.size(), 2500u);
    EXPECT_EQ(recorded.reports.front(), "begin 0");
    EXPECT_EQ(recorded.bar.minimum(), 0);
    EXPECT_EQ(recorded.bar.maximum(), 0);
    EXPECT_EQ(recorded.bar.position(), 2500);

    recorded.reports.clear();
    ASSERT_TRUE(client.DownloadFile(url("/empty"), path("empty.htm")));
    EXPECT_EQ(recorded.reports, std::vector<std::string>{"begin 0"});
    EXPECT_TRUE(fs::exists(path("empty.htm")));
    EXPECT_EQ(fs::file_size(path("empty.htm")), 0u);
}

TEST_F(HttpClientTest, TransferStartedFromInsideATransferFailsAndTheFirstGoesOn)
{
    HttpAnswer slow = page("outer body");
    slow.pieces = 2;
    slow.pause = std::chrono::milliseconds(100);
    server.answer("/outer", slow);
    server.answer("/inner", page("inner"));
    int innerResults = 0;
    bool innerFetched = false;
    client.setEvents({{}, {}, [&] {
                          std::string inner;
                          innerFetched = innerFetched || client.get(url("/inner"), inner);
                          ++innerResults;
                      }});
    std::string body;
    ASSERT_TRUE(client.get(url("/outer"), body));
    EXPECT_EQ(body, "outer body");
    EXPECT_GT(innerResults, 0);
    EXPECT_FALSE(innerFetched);
    EXPECT_EQ(server.count("/inner"), 0);
}

TEST_F(HttpClientTest, ErrorOfAProgressHandlerPassesOnAndTheClientStaysUsable)
{
    server.answer("/a", page("aaaa"));
    client.setEvents({{}, [](std::int64_t) { throw std::runtime_error("bar gone"); }, {}});
    std::string body;
    EXPECT_THROW(client.get(url("/a"), body), std::runtime_error);
    client.setEvents({});
    EXPECT_TRUE(client.get(url("/a"), body));
    EXPECT_EQ(body, "aaaa");
}

TEST(HttpProgress, BarValuesStayWithinRange)
{
    SilentProgress bar;
    IdHTTP1WorkBegin(bar, 5'000'000'000LL);
    IdHTTP1Work(bar, 4'000'000'000LL);
    EXPECT_EQ(bar.maximum(), INT_MAX);
    EXPECT_EQ(bar.position(), INT_MAX);
    IdHTTP1WorkBegin(bar, 10);
    EXPECT_EQ(bar.maximum(), 10);
    EXPECT_EQ(bar.minimum(), 0);
}
