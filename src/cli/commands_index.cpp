// The archive's full-text index: built, removed or described.
#include "cli/session.h"

#include "textindex/text_index.h"

#include <ostream>

namespace velm {
namespace {

// Rows per build step: each step is one short write transaction.
constexpr int kBuildRows = 5000;

int percent(const textindex::Status &status)
{
    return status.rowsTotal > 0 ? static_cast<int>(status.rowsDone * 100 / status.rowsTotal) : 100;
}

int printStatus(Session &session, sqlite3 *db)
{
    const textindex::Status status = textindex::status(db);
    if (!status.present) {
        session.out() << "沒有全文索引\n";
        return 0;
    }
    if (status.complete)
        session.out() << "全文索引完整";
    else
        session.out() << "全文索引建立中 " << percent(status) << "%";
    // Once complete, rows removed since the build are no longer counted among those done.
    session.out() << "：已索引 " << (status.complete ? status.rowsTotal : status.rowsDone) << " 篇主題與回覆（共 "
                  << status.rowsTotal << " 篇），待併入的變更 " << status.pending << " 筆";
    if (const std::int64_t bytes = textindex::sizeInBytes(db); bytes >= 0)
        session.out() << "，大小 " << (bytes + 500000) / 1000000 << " MB";
    session.out() << "\n";
    return 0;
}

int build(Session &session, sqlite3 *db)
{
    if (!textindex::indexable(db)) {
        session.err() << "這個資料庫沒有主題與回覆的資料表，無法建立全文索引\n";
        return 1;
    }
    textindex::create(db);
    int shown = -10;
    for (;;) {
        const bool done = textindex::buildStep(db, kBuildRows);
        const textindex::Status status = textindex::status(db);
        const int now = done ? 100 : std::min(percent(status), 99);
        if (now / 10 != shown / 10 || done) {
            session.err() << "建立全文索引 " << now << "%\n";
            shown = now;
        }
        if (done)
            return printStatus(session, db);
    }
}

int index(Session &session, const std::vector<std::string> &args)
{
    if (args.size() > 1 || (args.size() == 1 && args[0] != "--drop" && args[0] != "--status"))
        return 2;
    sqlite3 *db = session.archive().handle();
    if (!args.empty() && args[0] == "--status")
        return printStatus(session, db);
    if (session.archive().readOnly()) {
        session.err() << "資料庫檔案是唯讀的，無法" << (args.empty() ? "建立" : "移除") << "全文索引\n";
        return 1;
    }
    if (args.empty())
        return build(session, db);
    textindex::drop(db);
    session.out() << "已移除全文索引\n";
    return 0;
}

} // namespace

std::vector<CliCommand> indexCommands()
{
    return {
        {"index",
         "  index [--drop|--status]\n"
         "                       builds the archive's full-text index, which the searches then use (progress on\n"
         "                       standard error; a build that was stopped goes on where it was); --drop removes\n"
         "                       it, --status says what there is\n",
         &index},
    };
}

} // namespace velm
