// GB/Big5 conversion of standard input to standard output.
#include "cli/session.h"

#include "codeconv/gbbig.h"

namespace velm {
namespace {

int convert(Session &session, const std::vector<std::string> &args, CodeDirection direction)
{
    if (!args.empty())
        return 2;
    if (!convertStream(session.in(), session.out(), direction)) {
        session.err() << "velm: reading or writing failed\n";
        return 1;
    }
    return 0;
}

} // namespace

std::vector<CliCommand> codeconvCommands()
{
    return {
        {"gb2big5", "  gb2big5              GB bytes on standard input to Big5 bytes on standard output\n",
         [](Session &s, const std::vector<std::string> &a) { return convert(s, a, CodeDirection::GBToBig5); }},
        {"big52gb", "  big52gb              Big5 bytes on standard input to GB bytes on standard output\n",
         [](Session &s, const std::vector<std::string> &a) { return convert(s, a, CodeDirection::Big5ToGB); }},
    };
}

} // namespace velm
