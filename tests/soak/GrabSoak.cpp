// grab-soak: the component in a long-lived process. One batch worker (morven-grab
// --worker) does N whole capture cycles over a mix of clips, stills and damaged
// files, one after another, while this program watches the worker between files:
// its resident memory may grow by at most a limit after the warm-up cycles, its open
// descriptors must come back to what they were before the first, and its threads to
// what they were then plus the one streaming thread the media module keeps parked.
//
//   grab-soak [--cycles N] [--warm-up W] [--growth-limit-kib K]
//     N 300, W 100, K 1024 by default; K -1 leaves memory unchecked (a sanitizer's
//     quarantine holds freed memory on purpose). The programs and MORVEN.ocx are found
//     beside this one; the class is registered into a scratch registry. Exit 0 when
//     every limit held, every file gave what it should and the worker ended cleanly
//     (a leak checker in it reports at its exit), 1 otherwise.
#include "tests/support/ScratchRegistry.h"
#include "tests/support/TestMedia.h"
#include "tests/support/ToolRunner.h"
#include "tools/morven-grab/WorkerChannel.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Sample {
    long rssKib = 0;
    long descriptors = 0;
    long threads = 0;
};

Sample sampleOf(pid_t pid)
{
    Sample s;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            s.rssKib = std::atol(line.c_str() + 6);
        else if (line.rfind("Threads:", 0) == 0)
            s.threads = std::atol(line.c_str() + 8);
    }
    for ([[maybe_unused]] const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        ++s.descriptors;
    return s;
}

struct SoakFile {
    std::string path;
    bool gives; // a frame is expected
};

// Several codecs, containers and sizes (a 640x360 picture takes the pipeline's large
// buffers), a still image, and files that fail at different steps.
std::vector<SoakFile> makeFiles(const std::string& dir)
{
    std::vector<SoakFile> files;
    auto lavfi = [&](const std::string& name, const std::string& size, std::vector<std::string> codec) {
        const std::string out = dir + "/" + name;
        std::vector<std::string> args{"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                      "testsrc2=size=" + size + ":rate=25", "-frames:v", "5"};
        args.insert(args.end(), codec.begin(), codec.end());
        args.push_back(out);
        testmedia::runTool(args);
        files.push_back({out, true});
        return out;
    };
    const std::string h264 = lavfi("h264.mp4", "160x120", {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3",
                                                           "-pix_fmt", "yuv420p"});
    lavfi("h264-640x360.mkv", "640x360", {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"});
    lavfi("mjpeg.avi", "96x64", {"-c:v", "mjpeg", "-pix_fmt", "yuvj422p"});
    lavfi("vp9.webm", "128x72", {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p"});
    lavfi("mpeg4.avi", "66x50", {"-c:v", "mpeg4", "-q:v", "4"});
    files.push_back({testmedia::makeRawBgrAvi(dir, 37, 23), true});
    lavfi("still.png", "75x45", {"-frames:v", "1", "-update", "1"});
    files.push_back({testmedia::makeTruncatedCopy(h264, dir, 0.3), false});
    files.push_back({testmedia::makeRandomBytes(dir, 8192, 3), false});
    files.push_back({testmedia::makeAudioOnly(dir), false});
    files.push_back({dir + "/missing.mp4", false});
    return files;
}

std::string besideMe(const std::string& name)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return name;
    return (fs::path(std::string(self, static_cast<std::size_t>(n))).parent_path() / name).string();
}

class Worker {
public:
    explicit Worker(const std::string& program)
    {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        // What it says goes to a file in memory that it empties after each file, so
        // what is left at the end is what it said on its way out.
        said_ = memfd_create("grab-soak-worker-stderr", MFD_CLOEXEC);
        if (said_ < 0 || fcntl(said_, F_SETFL, O_APPEND) != 0)
            throw std::runtime_error("memfd_create failed");
        posix_spawn_file_actions_adddup2(&actions, said_, 2);
        std::string arg0 = program, arg1 = "--worker";
        char* argv[] = {arg0.data(), arg1.data(), nullptr};
        const int error = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        if (error != 0)
            throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
        to_ = in[1];
        from_ = out[0];
    }
    ~Worker() { finish(); }

    // Closes its input and waits for it; "" when it ended cleanly, else how and what it said.
    std::string finish()
    {
        if (pid_ < 0)
            return "";
        close(to_);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        close(from_);
        const std::string said = grab::takeAll(said_);
        close(said_);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            return "";
        return (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                  : "signal " + std::to_string(WTERMSIG(status))) +
               "\n" + said;
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    pid_t pid() const { return pid_; }

    // The next reply: its code and reason; false when the worker is gone.
    bool reply(int& code, std::string& reason)
    {
        std::vector<std::string> fields;
        char bytes[4096];
        while (!buffer_.next(2, fields)) {
            const ssize_t n = read(from_, bytes, sizeof bytes);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            buffer_.append(bytes, static_cast<std::size_t>(n));
        }
        code = std::atoi(fields[0].c_str());
        reason = fields[1];
        return true;
    }

    bool send(const std::string& input, const std::string& output)
    {
        return grab::writeAll(to_, grab::encodeRecord({input, output}));
    }

private:
    pid_t pid_ = -1;
    int to_ = -1;
    int from_ = -1;
    int said_ = -1;
    grab::RecordBuffer buffer_;
};

void print(const char* when, long cycle, const Sample& s)
{
    std::printf("%-14s cycle %6ld: resident %7ld KiB, %3ld descriptors, %2ld threads\n", when, cycle, s.rssKib,
                s.descriptors, s.threads);
    std::fflush(stdout);
}

int soak(long cycles, long warmUp, long limitKib)
{
    testmedia::TempDir dir("morven-soak");
    const std::vector<SoakFile> files = makeFiles(dir.path());
    const std::string out = dir.file("out");
    fs::create_directories(out);

    const testkit::ScratchRegistry registry;
    testmedia::runTool({besideMe("regsvr"), "/s", besideMe("MORVEN.ocx")});

    Worker worker(besideMe("morven-grab"));
    int code = 0;
    std::string reason;
    if (!worker.reply(code, reason) || code != 0) {
        std::fprintf(stderr, "grab-soak: the worker did not start: %s\n", reason.c_str());
        return 1;
    }
    const Sample start = sampleOf(worker.pid());
    print("start", 0, start);

    Sample warm = start, peak = start, last = start;
    long wrong = 0;
    const auto begun = std::chrono::steady_clock::now();
    for (long cycle = 1; cycle <= cycles; ++cycle) {
        const SoakFile& file = files[static_cast<std::size_t>(cycle - 1) % files.size()];
        if (!worker.send(file.path, out + "/frame.png") || !worker.reply(code, reason)) {
            std::fprintf(stderr, "grab-soak: the worker died at cycle %ld (%s)\n", cycle, file.path.c_str());
            return 1;
        }
        if ((code == 0) != file.gives) {
            if (wrong++ < 10)
                std::fprintf(stderr, "grab-soak: cycle %ld, %s: code %d %s\n", cycle, file.path.c_str(), code,
                             reason.c_str());
        }
        last = sampleOf(worker.pid());
        peak.rssKib = std::max(peak.rssKib, last.rssKib);
        if (cycle == warmUp) {
            warm = last;
            print("after warm-up", cycle, warm);
        } else if (cycle % 1000 == 0) {
            print("", cycle, last);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    print("end", cycles, last);

    const std::string ending = worker.finish();
    if (!ending.empty())
        std::fprintf(stderr, "grab-soak: the worker did not end cleanly: %s\n", ending.c_str());
    const long growth = last.rssKib - warm.rssKib;
    const std::string limit = limitKib < 0 ? "unchecked" : "limit " + std::to_string(limitKib);
    std::printf("%ld cycles in %.1f s (%.0f per second); resident memory after warm-up %+ld KiB (%s), peak "
                "%ld KiB; descriptors %ld -> %ld, threads %ld -> %ld; %ld files gave the wrong outcome\n",
                cycles, seconds, static_cast<double>(cycles) / seconds, growth, limit.c_str(), peak.rssKib,
                start.descriptors, last.descriptors, start.threads, last.threads, wrong);
    const bool held = (limitKib < 0 || growth <= limitKib) && last.descriptors == start.descriptors &&
                      last.threads <= start.threads + 1 && wrong == 0 && ending.empty();
    std::printf("%s\n", held ? "soak: every limit held" : "soak: FAILED");
    return held ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    long cycles = 300, warmUp = 100, limitKib = 1024;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const long value = std::atol(argv[i + 1]);
        if (option == "--cycles")
            cycles = value;
        else if (option == "--warm-up")
            warmUp = value;
        else if (option == "--growth-limit-kib")
            limitKib = value;
        else
            cycles = -1;
    }
    if (argc % 2 == 0 || cycles <= warmUp || warmUp < 1) {
        std::fprintf(stderr, "usage: grab-soak [--cycles N] [--warm-up W] [--growth-limit-kib K] (N > W >= 1)\n");
        return 2;
    }
    try {
        return soak(cycles, warmUp, limitKib);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grab-soak: %s\n", e.what());
        return 1;
    }
}
