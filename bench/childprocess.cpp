// SPDX-License-Identifier: GPL-3.0-or-later
#include "childprocess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char **environ;

namespace QuillmereBench {

namespace {

constexpr const char *AddressSpaceVariable = "QUILLMERE_BENCH_ADDRESS_SPACE_KB";

} // namespace

int reportPeakOf(char **command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (const char *limit = std::getenv(AddressSpaceVariable)) {
            const rlim_t bytes = rlim_t(std::strtoll(limit, nullptr, 10)) * 1024;
            const rlimit addressSpace { bytes, bytes };
            setrlimit(RLIMIT_AS, &addressSpace);
        }
        execvp(command[0], command);
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return 1;
    std::printf("%ld\n", usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

ProcessRun runMeasured(const QString &program, const QStringList &command, qint64 addressSpaceKb)
{
    std::vector<QByteArray> arguments { program.toLocal8Bit(), PeakOfOption };
    for (const QString &argument : command)
        arguments.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<QByteArray> variables;
    for (char **variable = environ; *variable; ++variable)
        variables.emplace_back(*variable);
    if (addressSpaceKb > 0)
        variables.push_back(QByteArray(AddressSpaceVariable) + '='
                            + QByteArray::number(addressSpaceKb));
    std::vector<char *> envp;
    for (QByteArray &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    int output[2];
    if (pipe(output) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    QByteArray printed;
    char buffer[64];
    for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;)
        printed.append(buffer, got);
    close(output[0]);
    ProcessRun result;
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid)
        return result;
    result.seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakMegabytes = printed.trimmed().toDouble() / 1024.0;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.ok = result.exitCode == 0;
    return result;
}

} // namespace QuillmereBench
