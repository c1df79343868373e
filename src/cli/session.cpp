#include "cli/session.h"

#include "archive/archive_file.h"
#include "archive/util.h"
#include "base/paths.h"
#include "shell_core/startup.h"
#include "store/reader_store.h"

#include <ostream>

namespace velm {

Session::Session(const CliOptions &options, std::istream &in, std::ostream &out, std::ostream &err)
    : m_options(options), m_in(in), m_out(out), m_err(err)
{
}

Session::~Session()
{
    setSourceChangedHandler({});
    setArchiveNoticeHandler({});
    if (DefaultConnection() == &m_archive)
        SetDefaultConnection(nullptr);
}

Connection &Session::archive()
{
    if (!m_archive.connected()) {
        setSourceChangedHandler([this](const std::string &mdbPath, const std::string &sqlitePath) {
            if (m_options.reconvert) {
                m_err << "velm: " << mdbPath << " changed since it was converted; converting it again (the old "
                      << sqlitePath << " is kept as " << sqlitePath << ".old)\n";
                return true;
            }
            m_err << "velm: " << mdbPath << " changed since it was converted into " << sqlitePath
                  << "; using the converted archive (--reconvert converts it again)\n";
            return false;
        });
        setArchiveNoticeHandler([this](ArchiveNotice kind, const std::string &text) {
            m_err << (kind == ArchiveNotice::Warning ? "velm: " : "") << text << '\n';
        });
        if (m_options.archive.empty()) {
            const std::string folder = programFolder();
            // The first start of an installed program: its program folder gets the demo archive.
            if (provideDemoArchive(folder))
                m_err << "velm: no archive in " << folder << "; starting on a copy of the demo archive\n";
            m_archive.setConnectionText(startupConnectionText(folder));
        } else {
            m_archive.setConnectionText(m_options.archive);
        }
        m_archive.open();
        if (m_archive.readOnly()) {
            const std::string why = archiveReadOnlyReason(m_archive.databasePath());
            m_err << "velm: 資料庫檔案 " << m_archive.databasePath() << " 以唯讀方式開啟"
                  << (why.empty() ? std::string() : "（" + why + "）") << "，不能匯入補充包\n";
        }
        SetDefaultConnection(&m_archive);
    }
    return m_archive;
}

const ReadMarks &Session::readMarks()
{
    if (m_readMarks)
        return *m_readMarks;
    m_readMarks.emplace();
    std::string notice;
    std::optional<ReaderStore> store = ReaderStore::openExisting(ReaderStore::defaultPath(), &notice);
    if (!notice.empty())
        m_err << "velm: " << notice << "; every topic is listed as unread\n";
    if (store) {
        Connection &db = archive();
        if (const std::optional<ArchiveKey> key = store->identify(SampleArchive(db.handle()), db.databasePath(), false))
            m_readMarks.emplace(store->readMarks(*key));
    }
    return *m_readMarks;
}

} // namespace velm
