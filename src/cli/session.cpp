#include "session.h"

#include "paths.h"
#include "startup.h"
#include "util.h"

namespace velm {

Session::Session(const CliOptions &options, std::istream &in, std::ostream &out, std::ostream &err)
    : m_options(options), m_in(in), m_out(out), m_err(err)
{
}

Session::~Session()
{
    if (DefaultConnection() == &m_archive)
        SetDefaultConnection(nullptr);
}

Connection &Session::archive()
{
    if (!m_archive.connected()) {
        m_archive.setConnectionText(m_options.archive.empty() ? startupConnectionText(programFolder())
                                                               : m_options.archive);
        m_archive.open();
        SetDefaultConnection(&m_archive);
    }
    return m_archive;
}

} // namespace velm
