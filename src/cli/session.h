#pragma once
// What every velm command shares: the options, the streams and the archive opened on demand.
#include "archive/database.h"
#include "store/read_marks.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace velm {

struct CliOptions {
    std::string archive;              // --archive; empty: the start-up archive of the program folder
    std::string baseUrl;              // --base-url; empty: the stored or built-in forum address
    std::vector<std::string> mirrors; // --mirror, repeatable
    bool reconvert = false; // --reconvert: an Access archive that changed since its conversion is converted again
};

class Session {
public:
    Session(const CliOptions &options, std::istream &in, std::ostream &out, std::ostream &err);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // The archive connection, opened on first use and made the default connection.
    Connection &archive();

    // The read marks the reader keeps for the archive, read once; none without a store that knows it. The
    // store is only read here.
    const ReadMarks &readMarks();

    const CliOptions &options() const { return m_options; }
    std::istream &in() { return m_in; }
    std::ostream &out() { return m_out; }
    std::ostream &err() { return m_err; }

private:
    const CliOptions &m_options;
    std::istream &m_in;
    std::ostream &m_out;
    std::ostream &m_err;
    Connection m_archive;
    std::optional<ReadMarks> m_readMarks;
};

// One command of the velm tool. run returns the exit status; a thrown Error becomes status 1.
struct CliCommand {
    const char *name;
    const char *usage; // the help line(s), already indented
    int (*run)(Session &session, const std::vector<std::string> &args);
};

// A decimal id of digits only.
bool parseId(const std::string &text, std::int64_t &id);
// Makes a topic query read forward only and only the columns printTopicRows shows, so that a result of
// any size is printed as it is read, in little memory.
void streamTopicRows(Query &query);
// Prints the rows of a topic query as the topic grid shows them: the id, then subject, date, author,
// replies, last reply, golden mark and "read" or "unread" by the reader's read marks, separated by tabs.
void printTopicRows(Session &session, Query &query);

// Each concern lists its commands in its own file.
std::vector<CliCommand> archiveCommands();
std::vector<CliCommand> networkCommands();
std::vector<CliCommand> websearchCommands();
std::vector<CliCommand> articleCommands();
std::vector<CliCommand> codeconvCommands();
std::vector<CliCommand> packagesCommands();
std::vector<CliCommand> searchCommands();
std::vector<CliCommand> indexCommands();
std::vector<CliCommand> serveCommands();

} // namespace velm
