#include "textindex/index_builder.h"

#include "sqlite/sqlite_db.h"
#include "textindex/text_index.h"

#include <sqlite3.h>

#include <algorithm>

namespace velm::textindex {
namespace {

constexpr int kStepRows = 5000;
// A writer holding the archive (an import) is waited for this long at a time, between looks at the stop.
constexpr int kBusyWaitMs = 250;

} // namespace

IndexBuilder::IndexBuilder(std::string path, Events events)
    : m_path(std::move(path)), m_events(std::move(events)), m_thread([this] { run(); })
{
}

IndexBuilder::~IndexBuilder()
{
    m_stop = true;
    m_interrupter.interrupt();
    m_thread.join();
}

void IndexBuilder::run()
{
    try {
        sqlite::DatabasePtr db = sqlite::open(m_path, SQLITE_OPEN_READWRITE);
        sqlite3_busy_timeout(db.get(), kBusyWaitMs);
        const sqlite::Interrupter::Scope running(m_interrupter, db.get());
        bool created = false;
        std::int64_t total = 1;
        while (!m_stop) {
            try {
                if (!created) {
                    create(db.get());
                    total = std::max<std::int64_t>(status(db.get()).rowsTotal, 1);
                    created = true;
                }
                std::int64_t done = 0;
                if (buildStep(db.get(), kStepRows, &done)) {
                    if (m_events.done)
                        m_events.done();
                    return;
                }
                if (m_events.progress)
                    m_events.progress(static_cast<int>(std::min<std::int64_t>(done * 100 / total, 99)));
            } catch (const sqlite::Failure &e) {
                // Another writer holds the archive (an import): its turn first.
                if (e.code() != SQLITE_BUSY)
                    throw;
            }
        }
    } catch (const Error &e) {
        if (!m_stop && m_events.failed)
            m_events.failed(e.utf8());
    }
}

} // namespace velm::textindex
