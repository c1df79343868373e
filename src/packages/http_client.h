#pragma once
// IdHTTP1: the one HTTP client of a main window, and DownloadFile, through which every file the reader
// fetches arrives. Transfers block the calling thread; URLs and paths are UTF-8.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velm {

class ProgressSink;
class HttpBody; // where a transfer's body goes as it arrives (http_client.cpp)

inline constexpr const char *kHttpAccept = "text/html, */*";
inline constexpr const char *kHttpUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
inline constexpr const char *kHttpContentType = "text/html";

// A body of any length, as far as the transfer goes.
inline constexpr std::int64_t kNoSizeLimit = -1;
// The longest page a transfer reads into memory.
inline constexpr std::int64_t kHttpPageLimit = 1024 * 1024;

// What fetches files for the online update and the self-update.
class Downloader {
public:
    virtual ~Downloader() = default;
    // Fetches the URL (UTF-8; an international host or path is sent in its ASCII form); only when the whole body has
    // arrived is it at the path (created or replaced). False on any failure, which leaves the path untouched and
    // nothing else behind; a body longer than sizeLimit bytes (when not negative) is a failure as soon as it shows.
    virtual bool DownloadFile(const std::string &url, const std::string &path,
                              std::int64_t sizeLimit = kNoSizeLimit) = 0;
};

// How long connecting may take, and how long a connected transfer may go without receiving a byte.
inline constexpr std::chrono::milliseconds kHttpConnectTimeout{30'000};
inline constexpr std::chrono::milliseconds kHttpStallTimeout{30'000};
// A connected transfer slower than this on average over the whole window fails: a byte now and then is no transfer.
inline constexpr long kHttpMinimumSpeed = 100; // bytes per second
inline constexpr std::chrono::seconds kHttpSlowWindow{60};

// Reports of one transfer, all on the transferring thread.
struct TransferEvents {
    std::function<void(std::int64_t total)> workBegin; // the body begins: its declared length, 0 when none
    std::function<void(std::int64_t count)> work;      // bytes of the body received so far
    std::function<void()> waiting;                     // called often while the transfer runs
};

// The progress window's side of the reports: the bar's range, then its position.
void IdHTTP1WorkBegin(ProgressSink &bar, std::int64_t total);
void IdHTTP1Work(ProgressSink &bar, std::int64_t count);

// GET over HTTP/1.1 with fixed Accept, User-Agent and Content-Type headers; cookies kept in memory for
// the client's life; redirects are failures; no proxy. A server that does not take the connection within
// the connect time-out, that sends nothing for the stall time-out once connected, or that sends slower than the
// minimum speed for the slow window, fails the transfer; each with its own message.
class HttpClient final : public Downloader {
public:
    HttpClient();
    ~HttpClient() override;
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    void setEvents(TransferEvents events) { m_events = std::move(events); }
    // Both kHttpConnectTimeout and kHttpStallTimeout unless changed; values below 1 ms count as 1 ms.
    void setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall);
    // kHttpMinimumSpeed over kHttpSlowWindow unless changed; a window below 1 s counts as 1 s.
    void setMinimumSpeed(long bytesPerSecond, std::chrono::seconds window);
    std::chrono::milliseconds connectTimeout() const { return m_connectTimeout; }
    std::chrono::milliseconds stallTimeout() const { return m_stallTimeout; }

    // The whole body of a 2xx answer, at most sizeLimit bytes; false on any failure (body then undefined). A call
    // made while a transfer of this client runs fails at once.
    bool get(const std::string &url, std::string &body, std::int64_t sizeLimit = kHttpPageLimit);
    // The body goes into a temporary file beside the path as it arrives, and that file is renamed to the
    // path once the transfer has ended well; memory use does not grow with the body.
    bool DownloadFile(const std::string &url, const std::string &path, std::int64_t sizeLimit = kNoSizeLimit) override;

    // Why the last transfer failed, as UTF-8 text for the command line; empty after a success.
    const std::string &lastError() const { return m_lastError; }

private:
    struct Transfer;
    struct Handle;

    bool perform(const std::string &url, HttpBody &body, std::int64_t sizeLimit);

    std::unique_ptr<Handle> m_handle;
    TransferEvents m_events;
    std::chrono::milliseconds m_connectTimeout = kHttpConnectTimeout;
    std::chrono::milliseconds m_stallTimeout = kHttpStallTimeout;
    long m_minimumSpeed = kHttpMinimumSpeed;
    std::chrono::seconds m_slowWindow = kHttpSlowWindow;
    std::string m_lastError;
    bool m_busy = false;
};

} // namespace velm
