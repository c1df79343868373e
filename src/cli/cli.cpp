#include "cli/cli.h"

#include "base/error.h"
#include "cli/session.h"
#include "settings/version.h"

#include <iostream>

namespace velm {
namespace {

std::vector<CliCommand> allCommands()
{
    std::vector<CliCommand> all;
    for (auto list : {archiveCommands, articleCommands, codeconvCommands, searchCommands, indexCommands,
                      packagesCommands, websearchCommands, networkCommands, serveCommands})
        for (const CliCommand &c : list())
            all.push_back(c);
    return all;
}

void usage(std::ostream &out)
{
    out << "usage: velm [OPTIONS] COMMAND [ARGS]\n\n"
           "Reads the Velm forum archive without a window. Output is UTF-8.\n\n"
           "Options:\n"
           "  --archive PATH       the archive to use (an .mdb archive or its .sqlite form); by default\n"
           "                       the start-up archive velm.mdb of the program folder\n"
           "  --base-url URL       the forum's web address for this run\n"
           "  --mirror URL         a download server folder for this run (repeatable)\n"
           "  --reconvert          convert an .mdb archive again when it changed since its conversion\n"
           "                       (the old converted file is kept as .sqlite.old)\n"
           "  --help, --version\n\n"
           "Commands:\n";
    for (const CliCommand &c : allCommands())
        out << c.usage;
}

} // namespace

int runCli(const std::vector<std::string> &args, std::istream &in, std::ostream &out, std::ostream &err)
{
    CliOptions options;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--help" || a == "-h") {
            usage(out);
            return 0;
        }
        if (a == "--version") {
            out << kProgramVersion << '\n';
            return 0;
        }
        if (a == "--reconvert") {
            options.reconvert = true;
            continue;
        }
        if (a == "--archive" || a == "--base-url" || a == "--mirror") {
            if (i + 1 >= args.size()) {
                err << "velm: " << a << " needs a value\n";
                return 2;
            }
            const std::string &value = args[++i];
            if (a == "--archive")
                options.archive = value;
            else if (a == "--base-url")
                options.baseUrl = value;
            else
                options.mirrors.push_back(value);
            continue;
        }
        break;
    }
    if (i >= args.size()) {
        usage(err);
        return 2;
    }
    const std::string name = args[i];
    const std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
    for (const CliCommand &command : allCommands()) {
        if (name != command.name)
            continue;
        try {
            Session session(options, in, out, err);
            const int status = command.run(session, rest);
            if (status == 2)
                err << "velm: wrong arguments for " << name << "\n" << command.usage;
            return status;
        } catch (const Error &e) {
            err << e.utf8() << '\n';
            return 1;
        } catch (const std::exception &e) {
            err << e.what() << '\n';
            return 1;
        }
    }
    err << "velm: unknown command " << name << " (see velm --help)\n";
    return 2;
}

} // namespace velm
