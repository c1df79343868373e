#pragma once
// The velm command line: the reader's core driven without a window. Output is UTF-8.
#include <iosfwd>
#include <string>
#include <vector>

namespace velm {

// Runs one command; returns the exit status (0 success, 1 failure, 2 usage).
int runCli(const std::vector<std::string> &args, std::istream &in, std::ostream &out, std::ostream &err);

} // namespace velm
