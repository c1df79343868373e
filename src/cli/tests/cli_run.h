#pragma once
// Runs the velm command line for a test: in this process, or as the built program itself.
#include "cli/cli.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

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

// The built program run from a copy in the given folder, which is then its program folder: what it keeps
// there (the online update's list and packages) stays in the test's folder, out of the build.
inline CliRun runVelmFrom(const std::string &folder, const std::vector<std::string> &args,
                          const std::string &input = {})
{
    const std::filesystem::path program = std::filesystem::path(folder) / "velm";
    if (!std::filesystem::exists(program)) {
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(VELM_CLI_PATH, program);
    }
    QStringList arguments;
    for (const std::string &a : args)
        arguments << QString::fromStdString(a);
    QProcess process;
    // The copy has no archive reader beside it: it uses the one built beside the program.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("VELM_JET_READER")))
        environment.insert(
            QStringLiteral("VELM_JET_READER"),
            QString::fromStdString((std::filesystem::path(VELM_CLI_PATH).parent_path() / "velm-jet-reader").string()));
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(program.string()), arguments);
    CliRun run;
    run.status = -1;
    if (!process.waitForStarted(60000))
        return run;
    process.write(QByteArray::fromStdString(input));
    process.closeWriteChannel();
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished(60000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
    }
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

} // namespace velm::test
