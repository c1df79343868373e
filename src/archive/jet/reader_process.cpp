#include "archive/jet/reader_process.h"

#include "archive/jet/reader_protocol.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/paths.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace velm::jet {
namespace {

constexpr std::chrono::milliseconds kExitPoll{20};

[[noreturn]] void cannotRead(const std::string &mdbPath, const std::string &reason)
{
    raiseUtf8("無法讀取資料庫檔案 " + mdbPath + ": " + reason);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// Above what any file needs (libraries, the output's cache), and per byte of the file: its mapping and its values.
constexpr std::uint64_t kAddressSpaceFloor = 256ULL << 20;
constexpr std::uint64_t kAddressSpacePerByte = 2;
// Reading takes well under a second per megabyte; a minute and a second per megabyte leave room for slow machines.
constexpr std::uint64_t kCpuFloorSeconds = 60;
constexpr std::uint64_t kCpuBytesPerSecond = 1 << 20;
// After the soft CPU limit's signal, the hard limit kills.
constexpr rlim_t kCpuGraceSeconds = 5;
// The forked child's status when the helper could not be started; the helper's own are 0 to 2.
constexpr int kExitNotStarted = 127;

// In the forked child: only async-signal-safe calls until the helper runs.
[[noreturn]] void becomeHelper(int protocolEnd, const rlimit &memory, const rlimit &cpu, const char *program,
                               char *const *argv)
{
    // The protocol descriptor first, so that opening /dev/null cannot take its number.
    const bool protocolReady = protocolEnd == protocol::kDescriptor
                                   ? ::fcntl(protocolEnd, F_SETFD, 0) == 0
                                   : ::dup2(protocolEnd, protocol::kDescriptor) == protocol::kDescriptor;
    // libmdb prints warnings (and with MDBOPTS set, whole rows) on the standard streams; the user sees only the
    // protocol.
    const int nothing = ::open("/dev/null", O_RDWR);
    if (!protocolReady || nothing < 0 || ::dup2(nothing, STDIN_FILENO) < 0 || ::dup2(nothing, STDOUT_FILENO) < 0 ||
        ::dup2(nothing, STDERR_FILENO) < 0)
        ::_exit(kExitNotStarted);
    if (nothing > STDERR_FILENO)
        ::close(nothing);
    if (::setrlimit(RLIMIT_AS, &memory) != 0 || ::setrlimit(RLIMIT_CPU, &cpu) != 0)
        ::_exit(kExitNotStarted);
    ::execve(program, argv, environ);
    ::_exit(kExitNotStarted);
}

// The helper with its protocol descriptor on a pipe; killed and reaped if it is still running when dropped.
class ChildProcess {
public:
    ChildProcess(const std::string &program, const std::vector<std::string> &arguments, const HelperLimits &limits)
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            throw std::system_error(errno, std::generic_category());
        m_output.reset(ends[0]);
        const FileDescriptor writeEnd(ends[1]);

        // Everything the child uses is made before the fork.
        std::vector<std::string> texts{program};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        std::vector<char *> argv;
        for (std::string &text : texts)
            argv.push_back(text.data());
        argv.push_back(nullptr);
        const rlimit memory{limits.addressSpace, limits.addressSpace};
        const rlimit cpu{limits.cpuSeconds, limits.cpuSeconds + kCpuGraceSeconds};
        m_pid = ::fork();
        if (m_pid < 0) {
            m_pid = -1;
            throw std::system_error(errno, std::generic_category());
        }
        if (m_pid == 0)
            becomeHelper(writeEnd.get(), memory, cpu, program.c_str(), argv.data());
    }

    ~ChildProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            reap(0);
        }
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    int output() const { return m_output.get(); }
    // What the ended child used (its processor time; its peak size also holds what this process had).
    const rusage &usage() const { return m_usage; }

    // The wait status once the child has ended; nothing if it is still running after patience.
    std::optional<int> waitFor(std::chrono::milliseconds patience)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            if (std::optional<int> status = reap(WNOHANG))
                return status;
            if (std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(kExitPoll);
        }
    }

private:
    std::optional<int> reap(int options)
    {
        int status = 0;
        pid_t rc;
        do {
            rc = ::wait4(m_pid, &status, options, &m_usage);
        } while (rc < 0 && errno == EINTR);
        if (rc == 0)
            return std::nullopt;
        m_pid = -1;
        return status;
    }

    pid_t m_pid = -1;
    FileDescriptor m_output;
    rusage m_usage{};
};

// Why a helper that did not finish ended, as the detail of "檔案已損壞".
std::string endingDetail(const std::optional<int> &status, const rusage &usage, const HelperLimits &limits)
{
    const std::uint64_t cpuSeconds = std::uint64_t(usage.ru_utime.tv_sec) + std::uint64_t(usage.ru_stime.tv_sec);
    if (status && WIFSIGNALED(*status) &&
        (WTERMSIG(*status) == SIGXCPU || (WTERMSIG(*status) == SIGKILL && cpuSeconds >= limits.cpuSeconds)))
        return "讀取超過 " + std::to_string(limits.cpuSeconds) + " 秒的處理時間上限";
    return "讀取時異常中止";
}

// Turns the helper's lines into progress and remembers how it ended.
class ProgressRelay {
public:
    ProgressRelay(ProgressSink *progress, std::string caption) : m_progress(progress), m_caption(std::move(caption)) {}

    void handle(std::string_view line)
    {
        if (line.starts_with(protocol::kTables)) {
            if (m_progress) {
                m_progress->setRange(0, std::atoi(std::string(line.substr(protocol::kTables.size())).c_str()));
                m_progress->setPosition(0);
            }
        } else if (line.starts_with(protocol::kTable)) {
            finishTable();
            m_inTable = true;
            if (m_progress)
                m_progress->setCaption(toCp950(m_caption + std::string(line.substr(protocol::kTable.size()))));
        } else if (line == protocol::kDone) {
            finishTable();
            m_done = true;
        } else if (line.starts_with(protocol::kReadFailed)) {
            m_readFailure = line.substr(protocol::kReadFailed.size());
        } else if (line.starts_with(protocol::kWriteFailed)) {
            m_writeFailure = line.substr(protocol::kWriteFailed.size());
        }
        if (m_progress)
            m_progress->processEvents();
    }

    bool done() const { return m_done; }
    const std::optional<std::string> &readFailure() const { return m_readFailure; }
    const std::optional<std::string> &writeFailure() const { return m_writeFailure; }

private:
    void finishTable()
    {
        if (m_inTable && m_progress)
            m_progress->step();
        m_inTable = false;
    }

    ProgressSink *m_progress;
    std::string m_caption;
    bool m_inTable = false;
    bool m_done = false;
    std::optional<std::string> m_readFailure;
    std::optional<std::string> m_writeFailure;
};

} // namespace

HelperLimits helperLimits(std::uint64_t fileSize)
{
    return {kAddressSpaceFloor + kAddressSpacePerByte * fileSize, kCpuFloorSeconds + fileSize / kCpuBytesPerSecond};
}

std::string readerHelperPath()
{
    if (const char *chosen = std::getenv("VELM_JET_READER"); chosen && *chosen)
        return chosen;
    const fs::path programs = fs::path(executablePath()).parent_path();
    // A build and a portable folder keep the helper beside the programs; an install keeps it in its
    // libexec folder (VELM_HELPER_FROM_BIN, seen from the programs' folder).
    const fs::path beside = programs / protocol::kHelperName;
    const fs::path installed = (programs / VELM_HELPER_FROM_BIN / protocol::kHelperName).lexically_normal();
    std::error_code ec;
    for (const fs::path &candidate : {beside, installed})
        if (fs::exists(candidate, ec))
            return candidate.string();
#ifdef VELM_JET_READER_BUILT
    // Programs elsewhere in the build tree (the tests) use the helper where it was built; an installed
    // program never reaches back into a build.
    const std::string buildTree = std::string(VELM_BUILD_TREE) + '/';
    if ((programs.string() + '/').starts_with(buildTree) && fs::exists(VELM_JET_READER_BUILT, ec))
        return VELM_JET_READER_BUILT;
#endif
    return beside.string();
}

void runReader(const ReaderJob &job, ProgressSink *progress)
{
    const std::string helper = readerHelperPath();
    if (::access(helper.c_str(), X_OK) != 0)
        cannotRead(job.mdbPath, "找不到讀取程式 " + helper);

    std::error_code sizeError;
    const std::uintmax_t size = fs::file_size(job.mdbPath, sizeError);
    const HelperLimits limits = job.limits ? *job.limits : helperLimits(sizeError ? 0 : size);
    std::optional<ChildProcess> child;
    try {
        child.emplace(helper, std::vector<std::string>{job.mdbPath, job.outputPath}, limits);
    } catch (const std::system_error &) {
        cannotRead(job.mdbPath, "無法啟動讀取程式 " + helper);
    }

    ProgressRelay relay(progress, job.caption);
    std::string pending;
    char buffer[4096];
    for (;;) {
        pollfd watch{child->output(), POLLIN, 0};
        const int ready = ::poll(&watch, 1, int(job.quietLimit.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            cannotRead(job.mdbPath,
                       "檔案已損壞 (讀取停滯，超過 " + std::to_string(job.quietLimit.count() / 1000) + " 秒沒有進展)");
        const ssize_t got = ready < 0 ? -1 : ::read(child->output(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(buffer, std::size_t(got));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            relay.handle(std::string_view(pending).substr(0, end));
            pending.erase(0, end + 1);
        }
    }

    const std::optional<int> status = child->waitFor(job.quietLimit);
    if (relay.readFailure())
        cannotRead(job.mdbPath, *relay.readFailure());
    if (relay.writeFailure())
        raiseUtf8(job.writeFailure + ": " + *relay.writeFailure());
    if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == kExitNotStarted)
        cannotRead(job.mdbPath, "無法啟動讀取程式 " + helper);
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0 || !relay.done())
        cannotRead(job.mdbPath, "檔案已損壞 (" + endingDetail(status, child->usage(), limits) + ")");
}

} // namespace velm::jet
