#include "cli.h"

#include "cp950.h"
#include "database.h"
#include "error.h"
#include "forum_tree.h"
#include "paths.h"
#include "progress.h"
#include "startup.h"
#include "util.h"
#include "version.h"

#include <functional>
#include <iostream>
#include <map>

namespace velm {
namespace {

constexpr const char *kUsage = R"(usage: velm [--archive PATH] COMMAND [ARGS]

Reads the Velm forum archive without a window.

Options:
  --archive PATH   the archive to use (an .mdb archive or its .sqlite form); by default the
                   start-up archive velm.mdb of the program folder (velm.sqlite when that is the one there)
  --help           this text
  --version        the program version

Commands:
  tree             the forum tree: one node per line, two blanks of indent per depth,
                   a forum's line ends with its id in brackets
)";

struct Options {
    std::string archive;
    std::vector<std::string> rest;
};

class Session {
public:
    Session(const Options &options, std::ostream &out, std::ostream &err) : m_options(options), m_out(out), m_err(err)
    {
    }

    Connection &archive()
    {
        if (!m_archive.connected()) {
            m_archive.setConnectionText(m_options.archive.empty() ? startupConnectionText(programFolder())
                                                                   : m_options.archive);
            m_archive.open();
            SetDefaultConnection(&m_archive);
        }
        return m_archive;
    }

    int tree()
    {
        archive();
        PlainTree tree;
        SilentProgress progress;
        BuildForumTree(tree, progress);
        m_out << tree.toText();
        return 0;
    }

    ~Session() { SetDefaultConnection(nullptr); }

private:
    const Options &m_options;
    std::ostream &m_out;
    std::ostream &m_err;
    Connection m_archive;
};

} // namespace

int runCli(const std::vector<std::string> &args, std::istream &in, std::ostream &out, std::ostream &err)
{
    (void)in;
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--help" || a == "-h") {
            out << kUsage;
            return 0;
        }
        if (a == "--version") {
            out << kProgramVersion << '\n';
            return 0;
        }
        if (a == "--archive") {
            if (i + 1 >= args.size()) {
                err << "velm: --archive needs a path\n";
                return 2;
            }
            options.archive = args[++i];
            continue;
        }
        options.rest.assign(args.begin() + static_cast<long>(i), args.end());
        break;
    }
    if (options.rest.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string command = options.rest.front();
    try {
        Session session(options, out, err);
        if (command == "tree" && options.rest.size() == 1)
            return session.tree();
        err << "velm: unknown command or wrong arguments: " << command << "\n(see velm --help)\n";
        return 2;
    } catch (const Error &e) {
        err << e.utf8() << '\n';
        return 1;
    } catch (const std::exception &e) {
        err << e.what() << '\n';
        return 1;
    }
}

} // namespace velm
