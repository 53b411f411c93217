#include "tests/support/ToolRunner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testmedia {

namespace {

std::string commandLine(const std::vector<std::string>& argv)
{
    std::string line;
    for (const auto& a : argv) {
        if (!line.empty())
            line += ' ';
        line += a;
    }
    return line;
}

std::string readAll(int fd)
{
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            out.append(buf, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    return out;
}

} // namespace

std::string runTool(const std::vector<std::string>& argv, bool captureStdout)
{
    if (argv.empty())
        throw std::runtime_error("testmedia: empty command");

    // Standard error goes to an unlinked temporary file, so a chatty tool can
    // never block on a full pipe while we read its standard output.
    char errName[] = "/tmp/morven-tool-XXXXXX";
    int errFd = mkstemp(errName);
    if (errFd < 0)
        throw std::runtime_error("testmedia: no temporary file for " + commandLine(argv));
    unlink(errName);

    int outPipe[2] = {-1, -1};
    if (captureStdout && pipe2(outPipe, O_CLOEXEC) != 0) {
        close(errFd);
        throw std::runtime_error("testmedia: no pipe for " + commandLine(argv));
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureStdout)
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);

    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);

    std::string out;
    if (captureStdout) {
        close(outPipe[1]);
        if (rc == 0)
            out = readAll(outPipe[0]);
        close(outPipe[0]);
    }
    int status = 0;
    if (rc == 0)
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }

    lseek(errFd, 0, SEEK_SET);
    std::string err = readAll(errFd);
    close(errFd);

    if (rc != 0)
        throw std::runtime_error("testmedia: cannot start " + commandLine(argv));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("testmedia: failed (" + std::to_string(status) + "): " + commandLine(argv) + "\n" +
                                 err);
    return out;
}

} // namespace testmedia
