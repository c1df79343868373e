#pragma once
// Advisory locks between processes (flock), and work files that another process can tell are orphaned.
// A lock ends with its process, however the process ends, so nothing is ever left locked.
#include <functional>
#include <string>

namespace velm {

// An exclusive lock on a file, held while the object lives.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock &&other) noexcept;
    FileLock &operator=(FileLock &&other) noexcept;
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Locks the existing file at path, opened read-only (the file itself is never written). While another
    // process holds it, waiting() runs about ten times a second until the lock comes. An error names the
    // file when it cannot be opened or this process holds it open already.
    static FileLock acquire(const std::string &path, const std::function<void()> &waiting = {});
    // Locks the file if nobody holds it; an empty lock otherwise (this process included) or when the file
    // cannot be opened.
    static FileLock tryAcquire(const std::string &path);

    bool held() const { return m_fd >= 0; }
    void release();

private:
    friend class WorkFile;
    explicit FileLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// A work file that its process holds locked: a file of this kind that nobody holds belongs to a process
// that has ended, and sweepOrphans() removes it. Removed with SQLite's side files when dropped unless
// kept. The name is prefix + process id + "-" + a serial number + suffix.
class WorkFile {
public:
    WorkFile(const std::string &prefix, const std::string &suffix);
    ~WorkFile();
    WorkFile(const WorkFile &) = delete;
    WorkFile &operator=(const WorkFile &) = delete;

    const std::string &path() const { return m_path; }
    // The file now has its final name elsewhere: nothing is removed.
    void keep() { m_kept = true; }

    // Removes every file named prefix*suffix (and its -journal, -wal, -shm) that no process holds. The
    // suffix must not be empty, so that side files never match.
    static void sweepOrphans(const std::string &prefix, const std::string &suffix);

private:
    std::string m_path;
    FileLock m_lock;
    bool m_kept = false;
};

// Gives a file a new name unless that name is taken: an existing file is never replaced. False with errno
// set (EEXIST when the name is taken).
bool renameWithoutReplacing(const std::string &from, const std::string &to);

} // namespace velm
