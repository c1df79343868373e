#pragma once
// Runs the velm command line for a test: in this process, or as the built program itself.
#include "cli.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velm::test {

struct CliRun {
    int status = 0;
    std::string out;
    std::string err;
};

inline CliRun runVelm(const std::vector<std::string> &args, const std::string &input = {})
{
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = runCli(args, in, out, err);
    return {status, out.str(), err.str()};
}

// The built program, for what only a process shows: its exit status and its standard error.
inline CliRun runVelmProcess(const std::string &shellArgs)
{
    const std::string errFile =
        (std::filesystem::temp_directory_path() / ("velm-cli-err-" + std::to_string(::getpid()))).string();
    const std::string command = std::string(VELM_CLI_PATH) + " " + shellArgs + " 2>" + errFile;
    CliRun run;
    FILE *pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        run.out.append(buffer.data(), n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(errFile);
    return run;
}

} // namespace velm::test
