#include "tools/morven-grab/BatchRunner.h"

#include "tools/morven-grab/FrameGrabber.h"
#include "tools/morven-grab/WorkerChannel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mman.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace grab {

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

// Redraws between answers are at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
// How long a worker may take to go once its batch is done.
constexpr auto kWorkerExitGrace = std::chrono::seconds(2);

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

std::string selfPath()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "";
    return std::string(path, static_cast<std::size_t>(n));
}

std::string describeStatus(int status)
{
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = strsignal(signal);
        return "its worker crashed (signal " + std::to_string(signal) + (name ? std::string(", ") + name : "") + ")";
    }
    if (WIFEXITED(status))
        return "its worker exited with status " + std::to_string(WEXITSTATUS(status));
    return "its worker ended";
}

struct Worker {
    pid_t pid = -1;
    int toWorker = -1;
    int fromWorker = -1;
    int said = -1; // its standard error
    RecordBuffer inbox;
    bool ready = false;
    long job = -1; // the job it has, or -1
    Clock::time_point started;
};

class Batch {
public:
    Batch(const std::vector<BatchJob>& jobs, const BatchSettings& settings)
        : jobs_(jobs), settings_(settings), limit_(std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(settings.timeoutSeconds))),
          workers_(static_cast<std::size_t>(std::max(1, settings.workers)))
    {
    }

    int run();

private:
    bool start(Worker& w);
    bool handOut(Worker& w);
    void collect(Worker& w);
    // Ends a worker (killing it first when `kill`) and reports the file it had.
    void end(Worker& w, bool kill, const std::string& reasonIfBusy);
    void finish(std::size_t job, int code, const std::string& reason);
    void clearProgress();
    void drawProgress(bool force);
    void summary(const char* ending);

    const std::vector<BatchJob>& jobs_;
    const BatchSettings settings_;
    const Clock::duration limit_;
    std::vector<Worker> workers_;
    std::string self_;
    std::size_t next_ = 0;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    std::size_t crashed_ = 0;
    std::size_t timedOut_ = 0;
    std::string fatal_; // not empty: no worker can create the object
    Clock::time_point begun_ = Clock::now();
    Clock::time_point drawn_{};
    bool progressShown_ = false;
};

bool Batch::start(Worker& w)
{
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    const int said = memfd_create("morven-grab-worker-stderr", MFD_CLOEXEC);
    bool made = said >= 0 && fcntl(said, F_SETFL, O_APPEND) == 0 && pipe2(in, O_CLOEXEC) == 0 &&
                pipe2(out, O_CLOEXEC) == 0;
    pid_t pid = -1;
    if (made) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, said, 2);
        std::vector<std::string> args{self_, "--worker"};
        if (settings_.flip)
            args.push_back("--flip");
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int error = posix_spawn(&pid, self_.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            errno = error;
            made = false;
        }
    }
    const int saved = errno;
    for (int fd : {in[0], out[1]})
        if (fd >= 0)
            close(fd);
    if (!made) {
        for (int fd : {in[1], out[0], said})
            if (fd >= 0)
                close(fd);
        errno = saved;
        return false;
    }
    fcntl(out[0], F_SETFL, fcntl(out[0], F_GETFL) | O_NONBLOCK);
    w = Worker{};
    w.pid = pid;
    w.toWorker = in[1];
    w.fromWorker = out[0];
    w.said = said;
    return true;
}

// Gives the worker the next file; false when there is none or no worker can start.
bool Batch::handOut(Worker& w)
{
    while (next_ < jobs_.size()) {
        const std::size_t job = next_;
        const BatchJob& j = jobs_[job];
        if (!j.problem.empty()) {
            ++next_;
            finish(job, kNotOpened, j.problem);
            continue;
        }
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::path(j.output).parent_path();
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec) &&
            !std::filesystem::create_directories(folder, ec) && ec) {
            ++next_;
            finish(job, kNotWritten, "cannot make the folder " + folder.string() + ": " + ec.message());
            continue;
        }
        if (w.pid < 0 && !start(w)) {
            fatal_ = std::string("cannot start a worker process: ") + std::strerror(errno);
            return false;
        }
        if (!writeAll(w.toWorker, encodeRecord({j.input, j.output}))) {
            // Gone before it was given anything: a new one takes the file.
            end(w, true, "");
            continue;
        }
        ++next_;
        w.job = static_cast<long>(job);
        w.started = Clock::now();
        return true;
    }
    return false;
}

void Batch::collect(Worker& w)
{
    char bytes[4096];
    for (;;) {
        const ssize_t n = ::read(w.fromWorker, bytes, sizeof bytes);
        if (n > 0) {
            w.inbox.append(bytes, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        std::vector<std::string> reply;
        while (w.inbox.next(2, reply)) {
            const int code = std::atoi(reply[0].c_str());
            if (!w.ready) {
                w.ready = code == kSuccess;
                if (!w.ready) {
                    // No worker will do better: the batch stops, the file is not counted as done.
                    if (fatal_.empty())
                        fatal_ = reply[1].empty() ? "a worker cannot create the object" : reply[1];
                    w.job = -1;
                }
            } else if (w.job >= 0) {
                const std::size_t job = static_cast<std::size_t>(w.job);
                w.job = -1;
                finish(job, code, reply[1]);
            }
        }
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            end(w, false, "");
        return;
    }
}

void Batch::end(Worker& w, bool kill, const std::string& reasonIfBusy)
{
    if (w.pid < 0)
        return;
    if (kill)
        ::kill(w.pid, SIGKILL);
    close(w.toWorker);
    close(w.fromWorker);
    int status = 0;
    while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (w.job >= 0) {
        const std::size_t job = static_cast<std::size_t>(w.job);
        // A worker ended halfway may have left the image's hidden first name behind.
        std::remove(partialImagePath(jobs_[job].output, static_cast<long>(w.pid)).c_str());
        std::string reason = reasonIfBusy.empty() ? describeStatus(status) : reasonIfBusy;
        ++(reasonIfBusy.empty() ? crashed_ : timedOut_);
        const std::string said = diagnosticsLine(takeAll(w.said));
        if (!said.empty())
            reason += " (" + said + ")";
        finish(job, kNoFrame, reason);
    }
    close(w.said);
    w = Worker{};
}

void Batch::finish(std::size_t job, int code, const std::string& reason)
{
    ++done_;
    if (code != kSuccess) {
        ++failed_;
        clearProgress();
        std::printf("failed: %s: %s\n", jobs_[job].input.c_str(), reason.empty() ? "failed" : reason.c_str());
        std::fflush(stdout);
    }
    drawProgress(code != kSuccess);
}

void Batch::clearProgress()
{
    if (progressShown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        progressShown_ = false;
    }
}

void Batch::drawProgress(bool force)
{
    if (!settings_.progress)
        return;
    const Clock::time_point now = Clock::now();
    if (!force && now - drawn_ < kProgressInterval)
        return;
    drawn_ = now;
    const double elapsed = seconds(now - begun_);
    const double rate = elapsed > 0 ? static_cast<double>(done_) / elapsed : 0;
    char left[32] = "--:--";
    if (rate > 0) {
        const long remaining = static_cast<long>(static_cast<double>(jobs_.size() - done_) / rate + 0.5);
        std::snprintf(left, sizeof left, "%ld:%02ld", remaining / 60, remaining % 60);
    }
    std::fprintf(stderr, "\r\033[K%zu/%zu files  %.1f files/s  %s left", done_, jobs_.size(), rate, left);
    if (failed_ > 0)
        std::fprintf(stderr, "  %zu failed", failed_);
    std::fflush(stderr);
    progressShown_ = true;
}

void Batch::summary(const char* ending)
{
    clearProgress();
    const double elapsed = seconds(Clock::now() - begun_);
    std::string kinds;
    if (crashed_ > 0)
        kinds += std::to_string(crashed_) + (crashed_ == 1 ? " worker crash" : " worker crashes");
    if (timedOut_ > 0)
        kinds += (kinds.empty() ? "" : ", ") + std::to_string(timedOut_) + (timedOut_ == 1 ? " timeout" : " timeouts");
    std::printf("summary: %zu files, %zu written, %zu failed%s%s%s in %.2f s (%.1f files/s)%s\n", jobs_.size(),
                done_ - failed_, failed_, kinds.empty() ? "" : " (", kinds.c_str(), kinds.empty() ? "" : ")",
                elapsed, elapsed > 0 ? static_cast<double>(done_) / elapsed : 0.0, ending);
    std::fflush(stdout);
}

int Batch::run()
{
    self_ = selfPath();
    if (self_.empty()) {
        std::fprintf(stderr, "morven-grab: cannot find its own program to start workers from\n");
        return kNoObject;
    }
    struct sigaction interrupt {};
    interrupt.sa_handler = onInterrupt;
    sigemptyset(&interrupt.sa_mask);
    struct sigaction oldInt {}, oldTerm {};
    sigaction(SIGINT, &interrupt, &oldInt);
    sigaction(SIGTERM, &interrupt, &oldTerm);
    // A worker that dies leaves a pipe that answers writes with an error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);

    drawProgress(true);
    while (!g_interrupted && fatal_.empty()) {
        for (Worker& w : workers_)
            if (w.job < 0 && fatal_.empty() && !handOut(w))
                break;
        if (done_ == jobs_.size() || !fatal_.empty())
            break;

        std::vector<pollfd> fds;
        std::vector<Worker*> polled;
        Clock::time_point wake = Clock::now() + (settings_.progress ? kProgressInterval : limit_);
        for (Worker& w : workers_) {
            if (w.pid < 0)
                continue;
            fds.push_back({w.fromWorker, POLLIN, 0});
            polled.push_back(&w);
            if (w.job >= 0)
                wake = std::min(wake, w.started + limit_);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count() + 1;
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(std::clamp<long long>(wait, 0, INT_MAX)));
        if (ready < 0 && errno != EINTR) {
            fatal_ = std::string("poll failed: ") + std::strerror(errno);
            break;
        }
        if (g_interrupted)
            break;
        for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i)
            if (fds[i].revents != 0)
                collect(*polled[i]);
        const Clock::time_point now = Clock::now();
        for (Worker& w : workers_)
            if (w.pid >= 0 && w.job >= 0 && now - w.started >= limit_) {
                char reason[96];
                std::snprintf(reason, sizeof reason, "took longer than %g s; its worker was ended",
                              settings_.timeoutSeconds);
                end(w, true, reason);
            }
        drawProgress(false);
    }

    // Workers still at a file (interrupted, or the object cannot be created) are
    // ended; the others go when their input closes.
    const bool stopping = g_interrupted || !fatal_.empty();
    for (Worker& w : workers_)
        if (w.pid >= 0 && stopping) {
            w.job = -1;
            end(w, true, "");
        }
    const Clock::time_point deadline = Clock::now() + kWorkerExitGrace;
    for (Worker& w : workers_) {
        if (w.pid < 0)
            continue;
        close(w.toWorker);
        w.toWorker = -1;
        int status = 0;
        pid_t gone = 0;
        while ((gone = waitpid(w.pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
            usleep(2000);
        if (gone == 0) {
            kill(w.pid, SIGKILL);
            waitpid(w.pid, &status, 0);
        }
        close(w.fromWorker);
        close(w.said);
        w = Worker{};
    }
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);

    if (!fatal_.empty()) {
        clearProgress();
        std::fprintf(stderr, "morven-grab: %s\n", fatal_.c_str());
        summary(", stopped");
        return kNoObject;
    }
    if (g_interrupted) {
        summary(", interrupted");
        return kInterrupted;
    }
    summary("");
    return failed_ == 0 ? kSuccess : kSomeFailed;
}

} // namespace

int runBatch(const std::vector<BatchJob>& jobs, const BatchSettings& settings)
{
    Batch batch(jobs, settings);
    return batch.run();
}

int defaultWorkerCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

} // namespace grab
