// bench-first-frame: open-to-first-frame time of the capture component
// against OpenCV's VideoCapture and a bare FFmpeg decode, on the same files
// in one process; and the peak memory of one cycle in a fresh process.
//
//   bench-first-frame [--cycles N] [--cpu] FILE...
//     (--cpu: processor time of the whole process, all threads, instead of
//     elapsed time; less disturbed by other load on the machine)
//   bench-first-frame --only ours|libav|opencv [--cycles N] FILE
//     (cycles of one contender alone, for profilers and instruction counts)
//   bench-first-frame --memory ours|libav|opencv|none FILE
//   bench-first-frame --memory-table FILE...
#include "bench/FirstFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Cycle = bool (*)(const std::string&, double&);

struct Contender {
    const char* name;
    Cycle cycle;
};
const Contender kContenders[] = {
    {"ours", bench::oursFirstFrame},
    {"libav", bench::libavFirstFrame},
    {"opencv", bench::opencvFirstFrame},
};
constexpr int kWarmUp = 2;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long peakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

double cpuMs()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}

// The contenders share this process's C library allocator. Its limits for
// mapping blocks afresh and for trimming its heap rise as large blocks are
// freed (up to 32 MB), and the component raises them once its first decoder
// goes; left alone, a contender's times would depend on which of them freed
// what first (at 1080p the bare decode took 44 ms a cycle instead of 8, its
// heap trimmed and faulted in again every cycle). They are raised here, for
// all, before the first cycle, as the component raises them.
void raiseAllocatorLimits()
{
    void* volatile block = std::malloc(size_t(16) << 20);
    std::free(block);
}

int timeFiles(const std::vector<std::string>& files, int cycles, bool cpu)
{
    raiseAllocatorLimits();
    double worstLibav = 0, worstOpencv = 0;
    for (const std::string& file : files) {
        std::vector<double> times[3];
        bool failed = false;
        // Round-robin, starting with each in turn, so that a slow moment of
        // the machine and what the previous cycle left in the caches and the
        // allocator hit all alike.
        for (int i = 0; i < kWarmUp + cycles && !failed; ++i)
            for (int k = 0; k < 3; ++k) {
                int c = (i + k) % 3;
                double ms = 0;
                double cpuBefore = cpu ? cpuMs() : 0;
                bool ok = kContenders[c].cycle(file, ms);
                // Teardown is in the processor time too; it is not in the elapsed time.
                if (cpu)
                    ms = cpuMs() - cpuBefore;
                if (!ok) {
                    std::fprintf(stderr, "%s: %s got no frame\n", file.c_str(), kContenders[c].name);
                    failed = true;
                    break;
                }
                if (i >= kWarmUp)
                    times[c].push_back(ms);
            }
        if (failed)
            return 1;
        double ours = median(times[0]), libav = median(times[1]), opencv = median(times[2]);
        double vsLibav = ours / libav, vsOpencv = ours / opencv;
        worstLibav = std::max(worstLibav, vsLibav);
        worstOpencv = std::max(worstOpencv, vsOpencv);
        std::printf("%s ours=%.2f libav=%.2f opencv=%.2f ratio_vs_libav=%.3f ratio_vs_opencv=%.3f\n", file.c_str(),
                    ours, libav, opencv, vsLibav, vsOpencv);
        std::fflush(stdout);
    }
    std::printf("worst ratio_vs_libav=%.3f ratio_vs_opencv=%.3f\n", worstLibav, worstOpencv);
    return 0;
}

// Cycles of one contender and nothing else, so that a profiler of the whole
// process sees only its work.
int onlyOne(const std::string& who, const std::string& file, int cycles)
{
    raiseAllocatorLimits();
    for (const Contender& c : kContenders) {
        if (who != c.name)
            continue;
        std::vector<double> times;
        for (int i = 0; i < cycles; ++i) {
            double ms = 0;
            if (!c.cycle(file, ms)) {
                std::fprintf(stderr, "%s: %s got no frame\n", file.c_str(), c.name);
                return 1;
            }
            times.push_back(ms);
        }
        std::printf("%s %s=%.2f cycles=%d\n", file.c_str(), c.name, median(times), cycles);
        return 0;
    }
    std::fprintf(stderr, "unknown contender %s\n", who.c_str());
    return 2;
}

int memoryOfOneCycle(const std::string& who, const std::string& file)
{
    double ms = 0;
    bool ok = true;
    for (const Contender& c : kContenders)
        if (who == c.name)
            ok = c.cycle(file, ms);
    if (who != "none" && std::none_of(std::begin(kContenders), std::end(kContenders),
                                      [&](const Contender& c) { return who == c.name; })) {
        std::fprintf(stderr, "unknown contender %s\n", who.c_str());
        return 2;
    }
    std::printf("%s %s peak_rss_kb=%ld\n", file.c_str(), who.c_str(), peakRssKb());
    return ok ? 0 : 1;
}

// Runs one cycle in a fresh copy of this program and returns its peak RSS.
long peakOfFreshProcess(const char* self, const char* who, const std::string& file)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        execl(self, self, "--memory", who, file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    size_t at = out.rfind("peak_rss_kb=");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || at == std::string::npos)
        return -1;
    return std::strtol(out.c_str() + at + 12, nullptr, 10);
}

int memoryTable(const char* self, const std::vector<std::string>& files)
{
    double worst = 0;
    for (const std::string& file : files) {
        long none = peakOfFreshProcess(self, "none", file);
        long ours = peakOfFreshProcess(self, "ours", file);
        long libav = peakOfFreshProcess(self, "libav", file);
        if (none < 0 || ours < 0 || libav < 0) {
            std::fprintf(stderr, "%s: a measuring process failed\n", file.c_str());
            return 1;
        }
        double ratio = double(ours) / double(libav);
        worst = std::max(worst, ratio);
        // Above the idle process: what the cycle itself added.
        std::printf("%s ours_kb=%ld libav_kb=%ld idle_kb=%ld ratio=%.3f ratio_above_idle=%.3f\n", file.c_str(), ours,
                    libav, none, ratio, double(ours - none) / double(std::max(1L, libav - none)));
    }
    std::printf("worst memory ratio=%.3f\n", worst);
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: bench-first-frame [--cycles N] [--cpu] FILE...\n"
                         "       bench-first-frame --only ours|libav|opencv [--cycles N] FILE\n"
                         "       bench-first-frame --memory ours|libav|opencv|none FILE\n"
                         "       bench-first-frame --memory-table FILE...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "--memory")
        return memoryOfOneCycle(args[1], args[2]);
    if (args.size() >= 2 && args[0] == "--memory-table")
        return memoryTable(argv[0], std::vector<std::string>(args.begin() + 1, args.end()));
    int cycles = 15;
    bool cpu = false;
    std::string only;
    while (!args.empty() && args[0].rfind("--", 0) == 0) {
        if (args[0] == "--only" && args.size() >= 2) {
            only = args[1];
            args.erase(args.begin(), args.begin() + 2);
        } else if (args[0] == "--cycles" && args.size() >= 2) {
            cycles = std::max(1, std::atoi(args[1].c_str()));
            args.erase(args.begin(), args.begin() + 2);
        } else if (args[0] == "--cpu") {
            cpu = true;
            args.erase(args.begin());
        } else {
            return usage();
        }
    }
    if (args.empty() || (!only.empty() && args.size() != 1))
        return usage();
    if (!only.empty())
        return onlyOne(only, args[0], cycles);
    return timeFiles(args, cycles, cpu);
}
