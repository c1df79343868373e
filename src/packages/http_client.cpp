#include "packages/http_client.h"

#include "base/progress.h"
#include "base/web_address.h"

#include <QSaveFile>
#include <QString>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <exception>
#include <memory>
#include <string_view>

namespace velm {
namespace {

class CurlGlobal {
public:
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
    CurlGlobal(const CurlGlobal &) = delete;
    CurlGlobal &operator=(const CurlGlobal &) = delete;
};

void ensureCurl()
{
    static CurlGlobal global;
}

struct EasyCloser {
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};
struct ListCloser {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

// Names under "localhost" belong to this machine (RFC 6761), as the browser engine treats them; the system
// resolver may not know them. The list tells the transfer their addresses; empty for any other host.
std::unique_ptr<curl_slist, ListCloser> loopbackNames(const std::string &wireAddress)
{
    const QUrl url(QString::fromStdString(wireAddress), QUrl::StrictMode);
    const QString host = url.host(QUrl::FullyEncoded).toLower();
    if (!host.endsWith(QLatin1String(".localhost")))
        return nullptr;
    const int port = url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
    const std::string entry = host.toStdString() + ':' + std::to_string(port) + ":127.0.0.1";
    return std::unique_ptr<curl_slist, ListCloser>(curl_slist_append(nullptr, entry.c_str()));
}

// A page fetched into memory gets room for its declared length at once, up to this much; a larger
// declaration is not trusted before the bytes come.
constexpr std::int64_t kReserveLimit = 1024 * 1024;

using Clock = std::chrono::steady_clock;

int barValue(std::int64_t n)
{
    return static_cast<int>(std::clamp<std::int64_t>(n, 0, INT_MAX));
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

std::int64_t number(std::string_view text, std::int64_t otherwise)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : otherwise;
}

// "30", or "0.5" for a time-out set below whole seconds.
std::string secondsText(std::chrono::milliseconds limit)
{
    const auto ms = limit.count();
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000);
    const auto tenths = (ms + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// "1 MB", or the bytes of a limit that is no whole number of megabytes.
std::string sizeText(std::int64_t bytes)
{
    constexpr std::int64_t kMegabyte = 1024 * 1024;
    return bytes % kMegabyte == 0 ? std::to_string(bytes / kMegabyte) + " MB" : std::to_string(bytes) + " 位元組";
}

} // namespace

// Where a transfer's body goes as it arrives. A false return ends the transfer; failure() says why.
class HttpBody {
public:
    virtual ~HttpBody() = default;
    // An answer's headers are complete and its body follows; declared is its length, -1 when not given.
    virtual bool begin(std::int64_t declared) = 0;
    virtual bool append(const char *data, std::size_t size) = 0;
    const std::string &failure() const { return m_failure; }

protected:
    bool fail(std::string utf8)
    {
        m_failure = std::move(utf8);
        return false;
    }

private:
    std::string m_failure;
};

namespace {

class TextBody final : public HttpBody {
public:
    explicit TextBody(std::string &text) : m_text(text) {}
    bool begin(std::int64_t declared) override
    {
        m_text.clear();
        m_text.reserve(static_cast<std::size_t>(std::clamp<std::int64_t>(declared, 0, kReserveLimit)));
        return true;
    }
    bool append(const char *data, std::size_t size) override
    {
        m_text.append(data, size);
        return true;
    }

private:
    std::string &m_text;
};

// Written beside the target and renamed over it by commit(); until then the target is untouched, and a
// file never committed is removed with this object.
class FileBody final : public HttpBody {
public:
    explicit FileBody(std::string path) : m_path(std::move(path)) {}
    bool begin(std::int64_t) override
    {
        // Each answer's body starts a fresh file.
        m_file = std::make_unique<QSaveFile>(QString::fromStdString(m_path));
        if (!m_file->open(QIODevice::WriteOnly))
            return fail(writeFailure());
        return true;
    }
    bool append(const char *data, std::size_t size) override
    {
        if (!m_file && !begin(-1))
            return false;
        const auto n = static_cast<qint64>(size);
        if (m_file->write(data, n) != n)
            return fail(writeFailure());
        return true;
    }
    bool commit()
    {
        if (!m_file && !begin(0))
            return false;
        if (!m_file->commit())
            return fail(writeFailure());
        return true;
    }

private:
    std::string writeFailure() const { return "無法寫入 " + m_path; }

    std::string m_path;
    std::unique_ptr<QSaveFile> m_file;
};

} // namespace

void IdHTTP1WorkBegin(ProgressSink &bar, std::int64_t total)
{
    bar.setRange(0, barValue(total));
}

void IdHTTP1Work(ProgressSink &bar, std::int64_t count)
{
    bar.setPosition(barValue(count));
}

struct HttpClient::Handle {
    std::unique_ptr<CURL, EasyCloser> easy;
    std::unique_ptr<curl_slist, ListCloser> headers;
    char errors[CURL_ERROR_SIZE] = {};
};

// One GET: what the callbacks learn of the answer. Callbacks never let an exception into curl.
struct HttpClient::Transfer {
    Transfer(const TransferEvents &events, HttpBody &body, std::chrono::milliseconds stallLimit, std::int64_t sizeLimit)
        : events(events), body(body), stallLimit(stallLimit), sizeLimit(sizeLimit)
    {
    }

    bool longerThanAllowed(std::int64_t length) const { return sizeLimit >= 0 && length > sizeLimit; }

    const TransferEvents &events;
    HttpBody &body;
    const std::chrono::milliseconds stallLimit;
    const std::int64_t sizeLimit;
    long status = 0;
    std::int64_t declared = -1;
    std::int64_t count = 0;
    bool refused = false;
    bool connected = false;
    bool stalled = false;
    bool tooLong = false;
    bool bodyFailed = false;
    Clock::time_point lastData = Clock::now();
    std::exception_ptr error;

    static size_t onHeader(char *data, size_t size, size_t items, void *self)
    {
        auto &t = *static_cast<Transfer *>(self);
        t.lastData = Clock::now();
        const std::string_view line(data, size * items);
        try {
            if (startsWithNoCase(line, "http/")) {
                // A new answer begins (an interim 1xx one may come first).
                const size_t blank = line.find(' ');
                t.status = blank == std::string_view::npos ? 0 : number(trimmed(line.substr(blank + 1, 3)), 0);
                t.declared = -1;
            } else if (startsWithNoCase(line, "content-length:")) {
                t.declared = number(trimmed(line.substr(15)), -1);
            } else if (trimmed(line).empty() && t.status >= 200) {
                if (t.status >= 300) {
                    // A redirect or an error: the answer is a failure, and its body is not worth waiting for.
                    t.refused = true;
                    return 0;
                }
                t.count = 0;
                // A declared length over the limit is not waited for.
                if (t.longerThanAllowed(t.declared)) {
                    t.tooLong = true;
                    return 0;
                }
                if (!t.body.begin(t.declared)) {
                    t.bodyFailed = true;
                    return 0;
                }
                if (t.events.workBegin)
                    t.events.workBegin(std::max<std::int64_t>(t.declared, 0));
            }
        } catch (...) {
            t.error = std::current_exception();
            return 0;
        }
        return size * items;
    }

    static size_t onBody(char *data, size_t size, size_t items, void *self)
    {
        auto &t = *static_cast<Transfer *>(self);
        t.lastData = Clock::now();
        try {
            // Nothing past the limit is kept: the transfer ends with the piece that would cross it.
            if (t.longerThanAllowed(t.count + static_cast<std::int64_t>(size * items))) {
                t.tooLong = true;
                return 0;
            }
            if (!t.body.append(data, size * items)) {
                t.bodyFailed = true;
                return 0;
            }
            t.count += static_cast<std::int64_t>(size * items);
            if (t.events.work)
                t.events.work(t.count);
        } catch (...) {
            t.error = std::current_exception();
            return 0;
        }
        return size * items;
    }

    // The connection stands (connecting had its own time-out): from now on silence is counted.
    static int onConnected(void *self, char *, char *, int, int)
    {
        auto &t = *static_cast<Transfer *>(self);
        t.connected = true;
        t.lastData = Clock::now();
        return CURL_PREREQFUNC_OK;
    }

    // Called often while the transfer runs, about once a second when nothing arrives.
    static int onWaiting(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto &t = *static_cast<Transfer *>(self);
        if (t.connected && Clock::now() - t.lastData >= t.stallLimit) {
            t.stalled = true;
            return 1;
        }
        try {
            if (t.events.waiting)
                t.events.waiting();
        } catch (...) {
            t.error = std::current_exception();
            return 1;
        }
        return 0;
    }
};

HttpClient::HttpClient() : m_handle(std::make_unique<Handle>())
{
    ensureCurl();
    m_handle->easy.reset(curl_easy_init());
    CURL *easy = m_handle->easy.get();
    if (!easy)
        return; // every transfer then fails
    curl_slist *headers = curl_slist_append(nullptr, (std::string("Accept: ") + kHttpAccept).c_str());
    if (headers)
        headers = curl_slist_append(headers, (std::string("Content-Type: ") + kHttpContentType).c_str());
    m_handle->headers.reset(headers);

    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_handle->headers.get());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kHttpUserAgent);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // An empty proxy name overrides the proxy variables of the environment.
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
    // An empty cookie file name starts the in-memory cookie engine and reads nothing.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::onWaiting);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Transfer::onConnected);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_handle->errors);
}

HttpClient::~HttpClient() = default;

void HttpClient::setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall)
{
    m_connectTimeout = std::max(connect, std::chrono::milliseconds(1));
    m_stallTimeout = std::max(stall, std::chrono::milliseconds(1));
}

void HttpClient::setMinimumSpeed(long bytesPerSecond, std::chrono::seconds window)
{
    m_minimumSpeed = std::max(bytesPerSecond, 0L);
    m_slowWindow = std::max(window, std::chrono::seconds(1));
}

bool HttpClient::perform(const std::string &url, HttpBody &body, std::int64_t sizeLimit)
{
    CURL *easy = m_handle->easy.get();
    if (m_busy || !easy) {
        // Window messages run during a transfer; one of them must not start another on the same handle.
        m_lastError = m_busy ? "another transfer is running" : "no HTTP client";
        return false;
    }
    m_busy = true;
    struct Idle {
        bool &busy;
        ~Idle() { busy = false; }
    } idle{m_busy};

    Transfer transfer{m_events, body, m_stallTimeout, sizeLimit};
    m_handle->errors[0] = '\0';
    const std::string address = wireAddress(url);
    const std::unique_ptr<curl_slist, ListCloser> resolve = loopbackNames(address);
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_RESOLVE, resolve.get());
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, m_minimumSpeed);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(m_slowWindow.count()));
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    const CURLcode result = curl_easy_perform(easy);
    if (transfer.error)
        std::rethrow_exception(transfer.error);
    if (transfer.refused || (result == CURLE_OK && (transfer.status < 200 || transfer.status >= 300))) {
        m_lastError = "HTTP status " + std::to_string(transfer.status);
        return false;
    }
    if (transfer.stalled) {
        m_lastError = "傳輸中斷：伺服器已有 " + secondsText(m_stallTimeout) + " 秒沒有傳來任何資料";
        return false;
    }
    if (transfer.tooLong) {
        m_lastError = "傳輸中斷：伺服器傳來的內容超過 " + sizeText(sizeLimit) + " 的上限";
        return false;
    }
    if (transfer.bodyFailed) {
        m_lastError = body.failure();
        return false;
    }
    if (result == CURLE_OPERATION_TIMEDOUT) {
        // Without a time-out of the whole transfer, a connected one times out only by being too slow.
        m_lastError = transfer.connected ? "傳輸中斷：伺服器在 " + std::to_string(m_slowWindow.count()) +
                                               " 秒內平均每秒傳來不到 " + std::to_string(m_minimumSpeed) + " 位元組"
                                         : "無法連線：伺服器在 " + secondsText(m_connectTimeout) + " 秒內沒有回應";
        return false;
    }
    if (result != CURLE_OK) {
        m_lastError = m_handle->errors[0] ? m_handle->errors : curl_easy_strerror(result);
        return false;
    }
    m_lastError.clear();
    return true;
}

bool HttpClient::get(const std::string &url, std::string &body, std::int64_t sizeLimit)
{
    body.clear();
    TextBody text(body);
    return perform(url, text, sizeLimit);
}

bool HttpClient::DownloadFile(const std::string &url, const std::string &path, std::int64_t sizeLimit)
{
    FileBody file(path);
    if (!perform(url, file, sizeLimit))
        return false;
    if (!file.commit()) {
        m_lastError = file.failure();
        return false;
    }
    return true;
}

} // namespace velm
