#include "tests/e2e/Process.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace e2e {
namespace {

// An unlinked temporary file; the child writes one stream into it.
class CaptureFile {
public:
    CaptureFile()
    {
        char name[] = "/tmp/morven-e2e-outXXXXXX";
        fd_ = mkstemp(name);
        if (fd_ < 0)
            throw std::runtime_error("mkstemp failed");
        unlink(name);
    }
    ~CaptureFile() { close(fd_); }
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    int fd() const { return fd_; }
    std::string contents() const
    {
        std::string text;
        char buffer[4096];
        off_t offset = 0;
        for (ssize_t n; (n = pread(fd_, buffer, sizeof buffer, offset)) > 0; offset += n)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    }

private:
    int fd_ = -1;
};

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                         const std::string& input)
{
    CaptureFile in, out, err;
    for (size_t done = 0; done < input.size();) {
        const ssize_t n = write(in.fd(), input.data() + done, input.size() - done);
        if (n <= 0)
            throw std::runtime_error("cannot write the standard input of " + argv[0]);
        done += static_cast<size_t>(n);
    }
    lseek(in.fd(), 0, SEEK_SET);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.fd(), 0);
    posix_spawn_file_actions_adddup2(&actions, out.fd(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.fd(), 2);
    if (!workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ProcessResult result;
    if (spawnError != 0) {
        result.err = "cannot start " + argv[0] + ": error " + std::to_string(spawnError);
        return result;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (WIFSIGNALED(status))
        result.err = "killed by signal " + std::to_string(WTERMSIG(status)) + "\n";
    result.out = out.contents();
    result.err += err.contents();
    return result;
}

} // namespace e2e
