#pragma once
// The index built in the background: a thread with a connection of its own adds a few thousand rows per
// short write transaction, so that the window and imports go on meanwhile. A build stopped or killed goes
// on from its last step the next time.
#include "sqlite/sqlite_db.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace velm::textindex {

class IndexBuilder {
public:
    struct Events {
        std::function<void(int percent)> progress; // after each step, below 100 until done
        std::function<void()> done;                // complete, with every logged change taken in
        std::function<void(const std::string &utf8)> failed;
    };
    // Starts at once on the SQLite file; the events come on the builder's thread.
    IndexBuilder(std::string path, Events events);
    // Stops the build (a step under way is undone) and waits for the thread.
    ~IndexBuilder();
    IndexBuilder(const IndexBuilder &) = delete;
    IndexBuilder &operator=(const IndexBuilder &) = delete;

private:
    void run();

    std::string m_path;
    Events m_events;
    std::atomic<bool> m_stop{false};
    sqlite::Interrupter m_interrupter;
    std::thread m_thread;
};

} // namespace velm::textindex
