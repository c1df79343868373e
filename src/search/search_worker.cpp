#include "search/search_worker.h"

#include "base/error.h"

#include <exception>

namespace velm {

SearchWorker::SearchWorker() : m_thread([this] { run(); }) {}

SearchWorker::~SearchWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_next.reset();
        if (m_running)
            m_running->cancel();
    }
    m_wake.notify_all();
    m_thread.join();
}

void SearchWorker::start(Connection::FileAccess file, Job job, Failed failed)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_running)
            m_running->cancel();
        m_next = std::make_unique<Task>(Task{std::move(file), std::move(job), std::move(failed)});
    }
    m_wake.notify_all();
}

void SearchWorker::cancel()
{
    const std::lock_guard lock(m_mutex);
    m_next.reset();
    if (m_running)
        m_running->cancel();
}

void SearchWorker::closeArchive()
{
    std::unique_lock lock(m_mutex);
    m_next.reset();
    if (m_running)
        m_running->cancel();
    m_closing = true;
    m_wake.notify_all();
    m_wake.wait(lock, [this] { return !m_closing; });
}

void SearchWorker::run()
{
    Connection archive;
    Connection::FileAccess opened;
    for (;;) {
        std::unique_ptr<Task> task;
        {
            std::unique_lock lock(m_mutex);
            m_running.reset();
            m_wake.wait(lock, [this] { return m_stopping || m_closing || m_next; });
            if (m_stopping)
                return;
            if (m_closing) {
                archive.close();
                m_closing = false;
                m_wake.notify_all();
                continue;
            }
            task = std::move(m_next);
            m_running = task->cancel;
        }
        try {
            if (!archive.connected() || opened.path != task->file.path || opened.readOnly != task->file.readOnly ||
                opened.immutable != task->file.immutable) {
                archive.openFile(task->file);
                opened = task->file;
            }
            task->job(archive, *task->cancel);
        } catch (const Error &e) {
            if (!task->cancel->cancelled())
                task->failed(e.utf8());
        } catch (const std::exception &e) {
            if (!task->cancel->cancelled())
                task->failed(e.what());
        }
    }
}

} // namespace velm
