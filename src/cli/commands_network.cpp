// The network without a window: one transfer, the online package update and the check of a saved demo page.
#include "cli/session.h"

#include "archive/database.h"
#include "base/cp950.h"
#include "base/paths.h"
#include "base/progress.h"
#include "packages/http_client.h"
#include "packages/online_update.h"
#include "packages/package_import.h"
#include "settings/settings.h"
#include "shell_core/startup.h"
#include "update/version_check.h"

#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>

namespace velm {
namespace {

// The import's step texts go to standard error, one line each.
class TerminalImportHost final : public ImportHost {
public:
    explicit TerminalImportHost(std::ostream &err) : m_err(err) {}
    void setStatusText(const std::string &cp950) override
    {
        if (!cp950.empty())
            m_err << fromCp950(cp950) << '\n';
    }
    ProgressSink &progress() override { return m_progress; }
    void processEvents() override {}

private:
    std::ostream &m_err;
    SilentProgress m_progress;
};

std::string folderAddress(std::string address)
{
    if (address.empty() || address.back() != '/')
        address += '/';
    return address;
}

int fetch(Session &session, const std::vector<std::string> &args)
{
    if (args.size() != 2)
        return 2;
    HttpClient client;
    if (!client.DownloadFile(args[0], args[1])) {
        session.err() << "velm: cannot fetch " << args[0] << ": " << client.lastError() << '\n';
        return 1;
    }
    return 0;
}

int update(Session &session, const std::vector<std::string> &args)
{
    bool yes = false;
    for (const std::string &a : args) {
        if (a != "--yes")
            return 2;
        yes = true;
    }
    const CliOptions &options = session.options();
    OnlineUpdateSources sources;
    sources.forumBaseUrl = options.baseUrl.empty() ? ForumBaseURL() : folderAddress(options.baseUrl);
    for (const std::string &mirror : options.mirrors)
        sources.mirrors.push_back(folderAddress(mirror));
    if (sources.mirrors.empty()) {
        // The built-in servers share the load as the window does; mirrors given here are tried as given.
        sources.mirrors = DownloadMirrorList();
        ShuffleList(sources.mirrors);
    }
    sources.programFolder = programFolder();

    std::ostream &err = session.err();
    UpdateQuestions questions{[&](const Big5Text &text) {
                                  err << text.toUtf8();
                                  if (yes) {
                                      err << " y\n";
                                      return true;
                                  }
                                  err << " [y/N] " << std::flush;
                                  std::string answer;
                                  std::getline(session.in(), answer);
                                  return answer == "y" || answer == "Y" || answer == "yes";
                              },
                              [&](const Big5Text &text) { err << text.toUtf8() << '\n'; }};
    Connection &archive = session.archive();
    Connection package(Connection::Mode::Package);
    HttpClient client;
    TerminalImportHost host(err);
    const OnlineUpdateResult result =
        RunOnlineUpdate(UpdateStart::Toolbar, sources, client, archive, package, host, questions);
    if (result.skipped > 0)
        err << "velm: 更新清單有 " << result.skipped << " 行含有無法辨識的位元組，已略過\n";
    if (result.outcome == UpdateOutcome::ListUnavailable) {
        err << "velm: cannot fetch the update list from " << sources.forumBaseUrl << ": " << client.lastError() << '\n';
        return 1;
    }
    if (result.imported < result.offered && result.outcome == UpdateOutcome::Fetched) {
        err << "velm: " << result.offered - result.imported << " of " << result.offered
            << " packages could not be fetched from any server\n";
        return 1;
    }
    return 0;
}

int checkVersion(Session &session, const std::vector<std::string> &args)
{
    if (args.size() != 1)
        return 2;
    std::ifstream in(args[0], std::ios::binary);
    if (!in) {
        session.err() << "velm: cannot read " << args[0] << '\n';
        return 1;
    }
    const std::string markup{std::istreambuf_iterator<char>(in), {}};
    const std::string version = VersionMarker(DemoPageBody(markup));
    if (version.empty())
        session.out() << "no marker\n";
    else
        session.out() << fromCp950(version) << '\t' << (IsNewerVersion(version) ? "newer" : "not newer") << '\n';
    return 0;
}

} // namespace

std::vector<CliCommand> networkCommands()
{
    return {
        {"fetch", "  fetch URL FILE       downloads URL into FILE, which is written only when the whole body came\n",
         &fetch},
        {"update",
         "  update [--yes]       the online package update: the server's list against the archive's record; asks\n"
         "                       on the terminal before fetching (--yes answers it); messages on standard error\n",
         &update},
        {"check-version",
         "  check-version FILE   the version a saved demo page announces, then newer, not newer or no marker\n",
         &checkVersion},
    };
}

} // namespace velm
