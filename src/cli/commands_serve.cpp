// velm serve: the archive's pages for any browser on the network, read-only.
#include "cli/session.h"

#include "archive/archive_file.h"
#include "base/paths.h"
#include "serve/http_server.h"
#include "serve/pages.h"
#include "serve/read_only_archive.h"
#include "settings/settings.h"
#include "shell_core/startup.h"

#include <algorithm>
#include <ostream>
#include <thread>

namespace velm {
namespace {

bool parseCount(const std::string &text, int low, int &count)
{
    std::int64_t value = 0;
    if (!parseId(text, value) || value < low || value > 1'000'000)
        return false;
    count = static_cast<int>(value);
    return true;
}

// "ADDR:PORT", an IPv6 address in brackets.
bool parseListen(const std::string &text, serve::ServerOptions &options)
{
    const size_t colon = text.rfind(':');
    int port = 0;
    if (colon == std::string::npos || colon == 0 || !parseCount(text.substr(colon + 1), 0, port) || port > 65535)
        return false;
    std::string address = text.substr(0, colon);
    if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    options.address = address;
    options.port = static_cast<unsigned short>(port);
    return true;
}

bool isLoopback(const std::string &address)
{
    return address.starts_with("127.") || address == "::1";
}

int serveCommand(Session &session, const std::vector<std::string> &args)
{
    serve::ServerOptions options;
    options.threads = static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
    bool quiet = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--quiet") {
            quiet = true;
            continue;
        }
        if (i + 1 >= args.size())
            return 2;
        const std::string &v = args[++i];
        int seconds = 0;
        if (a == "--listen" && parseListen(v, options))
            continue;
        if (a == "--threads" && parseCount(v, 1, options.threads))
            continue;
        if (a == "--max-connections" && parseCount(v, 1, options.maxConnections))
            continue;
        if (a == "--idle-timeout" && parseCount(v, 1, seconds)) {
            options.idleTimeout = std::chrono::seconds(seconds);
            continue;
        }
        return 2;
    }

    const CliOptions &cli = session.options();
    const std::string archive = serve::servedArchivePath(
        cli.archive.empty() ? dataSourceOf(startupConnectionText(programFolder())) : cli.archive);
    const serve::PageServer pages(archive, cli.baseUrl.empty() ? ForumBaseURL() : cli.baseUrl);
    std::ostream &err = session.err();
    serve::ServerHooks hooks;
    hooks.page = [&pages](std::string_view target) { return pages.respond(target); };
    hooks.isSlow = &serve::PageServer::isSearch;
    hooks.interrupt = [&pages] { pages.interrupt(); };
    if (!quiet)
        hooks.log = [&err](const std::string &line) { err << (line + "\n"); };
    serve::HttpServer server(options, std::move(hooks));

    if (!isLoopback(options.address))
        err << "velm: warning: listening on " << server.boundAddress()
            << " makes the archive readable by everyone on the network\n";
    if (server.maxConnections() < options.maxConnections)
        err << "velm: the limit of open files allows " << server.maxConnections() << " connections at once\n";
    session.out() << "serving http://" << server.boundAddress() << "/ (archive " << archive << ")" << std::endl;
    server.run();
    return 0;
}

} // namespace

std::vector<CliCommand> serveCommands()
{
    return {
        {"serve",
         "  serve [--listen ADDR:PORT] [--threads N] [--max-connections N] [--idle-timeout SECONDS] [--quiet]\n"
         "                       the archive's pages for browsers, read-only, at 127.0.0.1:8480 by default;\n"
         "                       each request is logged on standard error unless --quiet; SIGINT or SIGTERM\n"
         "                       stops it after the requests in flight\n",
         &serveCommand},
    };
}

} // namespace velm
