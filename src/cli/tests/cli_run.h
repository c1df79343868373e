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
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

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

struct MeasuredRun {
    int status = -1;
    std::string err;
    long peakKb = 0; // peak resident size of the process and of the children it waited for (the Jet reader)
};

// The program (the built velm, or a copy of it) as a child of this process, measured through wait4; its standard
// output goes to outPath. The peak is at least this process's size at the start.
inline MeasuredRun runMeasured(const std::vector<std::string> &args, const std::string &outPath = "/dev/null",
                               const std::string &program = VELM_CLI_PATH)
{
    const std::string errPath =
        (std::filesystem::temp_directory_path() / ("velm-cli-err-" + std::to_string(::getpid()))).string();
    std::vector<std::string> texts{program};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    MeasuredRun run;
    // A new process takes the peak of the one it was started from as its own: that peak is reset first, so that
    // only this process's present size counts.
    std::ofstream("/proc/self/clear_refs") << "5";
    pid_t child = -1;
    const bool started = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    if (started && ::wait4(child, &status, 0, &usage) == child) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKb = usage.ru_maxrss;
    }
    std::ifstream in(errPath);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(errPath);
    return run;
}

} // namespace velm::test
