#pragma once
// A thread with a connection of its own to the archive, running one search at a time: a window's searches
// and suggestions run there while the window goes on. Starting a job stops the one that runs.
#include "archive/database.h"
#include "search/topic_search.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace velm {

class SearchWorker {
public:
    // Runs on the worker's thread with its connection; errors thrown are handed to the job's failed.
    using Job = std::function<void(Connection &archive, SearchCancel &cancel)>;
    using Failed = std::function<void(const std::string &utf8)>;

    SearchWorker();
    // Stops the job that runs and waits for the thread.
    ~SearchWorker();
    SearchWorker(const SearchWorker &) = delete;
    SearchWorker &operator=(const SearchWorker &) = delete;

    // The job runs once the one before has stopped, on the file opened as given (opened again when it
    // differs from the last job's).
    void start(Connection::FileAccess file, Job job, Failed failed);
    // Stops the job that runs, if any; a job not yet begun is dropped.
    void cancel();
    // Stops the job that runs and closes the worker's connection before it returns: the file is free.
    void closeArchive();

private:
    struct Task {
        Connection::FileAccess file;
        Job job;
        Failed failed;
        std::shared_ptr<SearchCancel> cancel = std::make_shared<SearchCancel>();
    };
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::unique_ptr<Task> m_next;
    std::shared_ptr<SearchCancel> m_running;
    bool m_stopping = false;
    bool m_closing = false;
    std::thread m_thread;
};

} // namespace velm
