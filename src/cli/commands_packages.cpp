// Package files: expansion and import into the archive.
#include "cli/session.h"

#include "base/cp950.h"
#include "base/progress.h"
#include "packages/package_file.h"
#include "packages/package_import.h"

#include <ostream>

namespace velm {
namespace {

// The import's step texts go to standard error, one line each.
class StreamImportHost final : public ImportHost {
public:
    explicit StreamImportHost(std::ostream &err) : m_err(err) {}
    void setStatusText(const std::string &cp950) override { m_err << fromCp950(cp950) << '\n'; }
    ProgressSink &progress() override { return m_progress; }
    void processEvents() override {}

private:
    std::ostream &m_err;
    SilentProgress m_progress;
};

int expand(Session &session, const std::vector<std::string> &args)
{
    if (args.size() != 2)
        return 2;
    std::string why;
    if (!ExpandPackage(args[0], args[1], &why)) {
        session.err() << "velm: cannot expand " << args[0] << " into " << args[1] << ": " << why << '\n';
        return 1;
    }
    return 0;
}

int import(Session &session, const std::vector<std::string> &args)
{
    if (args.size() != 1)
        return 2;
    Connection &archive = session.archive();
    Connection package(Connection::Mode::Package);
    package.setConnectionText(args[0]);
    StreamImportHost host(session.err());
    std::string why;
    if (!ImportChosenPackage(archive, package, host, &why)) {
        session.err() << "velm: cannot expand " << args[0] << ": " << why << '\n';
        return 1;
    }
    return 0;
}

} // namespace

std::vector<CliCommand> packagesCommands()
{
    return {
        {"expand", "  expand SRC DST       expands the package file SRC into the database file DST\n", &expand},
        {"import",
         "  import PATH          merges a package into the archive: a .vlp file is first expanded into\n"
         "                       an .mdb beside it; step texts go to standard error\n",
         &import},
    };
}

} // namespace velm
