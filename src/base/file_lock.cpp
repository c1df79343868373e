#include "base/file_lock.h"

#include "base/error.h"
#include "base/open_files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>

#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velm {
namespace {

constexpr auto kLockPoll = std::chrono::milliseconds(100);

int openForLock(const std::string &path, int flags = O_RDONLY)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool lockNow(int fd)
{
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool sameFile(int fd, const std::string &path)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

void removeWithSideFiles(const std::string &path)
{
    std::error_code ignored;
    for (const char *suffix : {"-journal", "-wal", "-shm", ""})
        fs::remove(path + suffix, ignored);
}

} // namespace

FileLock::~FileLock()
{
    release();
}

FileLock::FileLock(FileLock &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileLock &FileLock::operator=(FileLock &&other) noexcept
{
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void FileLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor ends the lock
    m_fd = -1;
}

FileLock FileLock::acquire(const std::string &path, const std::function<void()> &waiting)
{
    // Held here already: the lock would never come, and closing the new descriptor would drop SQLite's locks.
    if (heldOpenAs(path))
        raiseUtf8("檔案正由本程式使用中: " + path);
    const int fd = openForLock(path);
    if (fd < 0)
        raiseUtf8("無法開啟檔案: " + path + " (" + std::strerror(errno) + ")");
    FileLock lock(fd);
    while (!lockNow(fd)) {
        if (errno != EWOULDBLOCK)
            raiseUtf8("無法鎖定檔案: " + path + " (" + std::strerror(errno) + ")");
        if (waiting)
            waiting();
        std::this_thread::sleep_for(kLockPoll);
    }
    return lock;
}

FileLock FileLock::tryAcquire(const std::string &path)
{
    if (heldOpenAs(path))
        return {};
    const int fd = openForLock(path);
    if (fd < 0)
        return {};
    FileLock lock(fd);
    if (!lockNow(fd))
        return {};
    return lock;
}

WorkFile::WorkFile(const std::string &prefix, const std::string &suffix)
{
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_path = prefix + std::to_string(::getpid()) + "-" + std::to_string(serial++) + suffix;
        const int fd = openForLock(m_path, O_RDWR | O_CREAT | O_EXCL);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            raiseUtf8("無法建立暫存檔: " + m_path + " (" + std::strerror(errno) + ")");
        }
        FileLock lock(fd);
        // A sweep in another process may have removed the file between its creation and the lock.
        if (lockNow(fd) && sameFile(fd, m_path)) {
            m_lock = std::move(lock);
            return;
        }
    }
    raiseUtf8("無法建立暫存檔: " + m_path);
}

WorkFile::~WorkFile()
{
    if (!m_kept)
        removeWithSideFiles(m_path);
}

bool renameWithoutReplacing(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a hard link fails just as well on a taken name.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

void WorkFile::sweepOrphans(const std::string &prefix, const std::string &suffix)
{
    if (suffix.empty())
        return; // the side files of a live database would match
    const fs::path pattern(prefix);
    const fs::path folder = pattern.has_parent_path() ? pattern.parent_path() : fs::path(".");
    const std::string start = pattern.filename().string();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < start.size() + suffix.size() || name.compare(0, start.size(), start) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string path = it->path().string();
        const FileLock lock = FileLock::tryAcquire(path);
        // Held by its process, or gone already: either way not ours to touch.
        if (lock.held())
            removeWithSideFiles(path);
    }
}

} // namespace velm
