#include "http_client.h"

#include "http_test_server.h"
#include "progress.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

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

class HttpClientTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
    std::string url(const std::string &path) const { return server.base() + path.substr(1); }

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
