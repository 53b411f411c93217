// bench-whole-process: morven-grab against the bare FFmpeg decode, ffmpeg's command
// line and ffmpegthumbnailer, each run as a whole process (start-up, teardown and
// peak memory included), and the registry tools' start-up. bench/whole-process.sh
// builds, registers and runs it; see the README.
//
//   bench-whole-process [--runs N] BIN_DIR OUT_DIR FILE...
//     BIN_DIR: morven-grab, bench-bare-decode, reg and regsvr; the class registered
//     in the registry COMRT_REGISTRY names. OUT_DIR: scratch space for the images.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    double peakMb = 0;
};

struct Contender {
    Contender(std::string name, std::vector<std::string> argv, int exitCode = 0)
        : name(std::move(name)), argv(std::move(argv)), exitCode(exitCode)
    {
    }
    std::string name;
    std::vector<std::string> argv;
    int exitCode; // what a run that did its work answers
    std::vector<Run> runs;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <class F>
double medianOf(const Contender& c, F field)
{
    std::vector<double> values;
    for (const Run& run : c.runs)
        values.push_back(field(run));
    return median(values);
}

double wallOf(const Contender& c) { return medianOf(c, [](const Run& r) { return r.wallMs; }); }
double cpuOf(const Contender& c) { return medianOf(c, [](const Run& r) { return r.cpuMs; }); }
double peakOf(const Contender& c) { return medianOf(c, [](const Run& r) { return r.peakMb; }); }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One run of the program with its output to files; false (and why) when it did not
// answer the exit code it should.
bool runOnce(const Contender& c, const std::string& logPath, Run& run, std::string& why)
{
    std::vector<char*> argv;
    for (const std::string& arg : c.argv)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        why = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = open("/dev/null", O_RDWR);
        if (log < 0 || null < 0)
            _exit(126);
        dup2(null, 0);
        dup2(log, 1);
        dup2(log, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.peakMb = usage.ru_maxrss / 1024.0;
    if (WIFEXITED(status) && WEXITSTATUS(status) == c.exitCode)
        return true;
    why = WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                            : "signal " + std::to_string(WTERMSIG(status));
    why += ", expected " + std::to_string(c.exitCode) + "; its output:\n" + readFile(logPath);
    return false;
}

// Rounds of every contender once, each round starting one further along, so that a slow
// moment of the machine and what one run leaves in the caches fall on all alike. The
// first round only warms the caches.
bool measure(std::vector<Contender>& contenders, int runs, const std::string& outDir)
{
    const std::size_t n = contenders.size();
    for (int round = 0; round <= runs; ++round)
        for (std::size_t k = 0; k < n; ++k) {
            Contender& c = contenders[(static_cast<std::size_t>(round) + k) % n];
            Run run;
            std::string why;
            if (!runOnce(c, outDir + "/run.log", run, why)) {
                std::fprintf(stderr, "bench-whole-process: %s failed: %s\n", c.name.c_str(), why.c_str());
                return false;
            }
            if (round > 0)
                c.runs.push_back(run);
        }
    return true;
}

// The pixels of two 24-bit BMPs of the same size: mean absolute difference per byte,
// or a negative number when they are not comparable.
double bmpDifference(const std::string& a, const std::string& b)
{
    const std::string x = readFile(a), y = readFile(b);
    if (x.size() != y.size() || x.size() <= 54 || x.compare(0, 54, y, 0, 54) != 0)
        return -1;
    double sum = 0;
    for (std::size_t i = 54; i < x.size(); ++i)
        sum += std::abs(int(static_cast<unsigned char>(x[i])) - int(static_cast<unsigned char>(y[i])));
    return sum / double(x.size() - 54);
}

struct Target {
    std::string what;
    double value;
    double limit;
};

void printTargets(const std::vector<Target>& targets)
{
    std::printf("\ntargets\n");
    int missed = 0;
    for (const Target& t : targets) {
        const bool met = t.value <= t.limit;
        missed += !met;
        std::printf("  %-66s %8.3f  <= %-5g %s\n", t.what.c_str(), t.value, t.limit, met ? "met" : "MISSED");
    }
    std::printf("  %zu of %zu met\n", targets.size() - static_cast<std::size_t>(missed), targets.size());
}

int usage()
{
    std::fprintf(stderr, "usage: bench-whole-process [--runs N] BIN_DIR OUT_DIR FILE...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    int runs = 10;
    if (args.size() >= 2 && args[0] == "--runs") {
        runs = std::max(1, std::atoi(args[1].c_str()));
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() < 3)
        return usage();
    const std::string bin = args[0], out = args[1];
    const std::vector<std::string> files(args.begin() + 2, args.end());
    const std::string grab = bin + "/morven-grab", bare = bin + "/bench-bare-decode";

    std::vector<Target> targets;
    for (const std::string& file : files) {
        std::vector<Contender> c = {
            {"morven-grab -> BMP", {grab, file, "-o", out + "/grab.bmp"}},
            {"morven-grab -> PNG", {grab, file, "-o", out + "/grab.png"}},
            {"bare decode -> BMP", {bare, file, out + "/bare.bmp"}},
            {"ffmpeg -> BMP", {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", file, "-frames:v", "1", out + "/ffmpeg.bmp"}},
            {"ffmpeg -> PNG", {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", file, "-frames:v", "1", out + "/ffmpeg.png"}},
            {"ffmpegthumbnailer -s 0 -> PNG", {"ffmpegthumbnailer", "-s", "0", "-i", file, "-o", out + "/thumbnailer.png"}},
        };
        if (!measure(c, runs, out))
            return 1;
        const Contender& grabBmp = c[0];
        const Contender& grabPng = c[1];
        const Contender& bareBmp = c[2];
        const Contender& thumbnailer = c[5];
        const std::string name = file.substr(file.find_last_of('/') + 1);
        std::printf("%s: median of %d runs\n", name.c_str(), runs);
        std::printf("  %-30s %9s %7s %9s %7s %9s %7s\n", "", "wall ms", "x bare", "CPU ms", "x bare", "peak MB",
                    "x bare");
        for (const Contender& k : c)
            std::printf("  %-30s %9.1f %7.2f %9.1f %7.2f %9.1f %7.2f\n", k.name.c_str(), wallOf(k),
                        wallOf(k) / wallOf(bareBmp), cpuOf(k), cpuOf(k) / cpuOf(bareBmp), peakOf(k),
                        peakOf(k) / peakOf(bareBmp));
        std::printf("  morven-grab -> PNG against ffmpegthumbnailer: wall %.2fx, CPU %.2fx, peak %.2fx\n",
                    wallOf(grabPng) / wallOf(thumbnailer), cpuOf(grabPng) / cpuOf(thumbnailer),
                    peakOf(grabPng) / peakOf(thumbnailer));
        const double difference = bmpDifference(out + "/grab.bmp", out + "/bare.bmp");
        if (difference < 0)
            std::printf("  the BMPs of morven-grab and the bare decode differ in size or header\n");
        else
            std::printf("  BMPs of morven-grab and the bare decode: mean difference %.3f per byte\n", difference);
        std::printf("\n");
        std::fflush(stdout);
        targets.push_back({name + ": morven-grab -> BMP wall / bare decode", wallOf(grabBmp) / wallOf(bareBmp), 1.15});
        targets.push_back({name + ": morven-grab -> BMP peak memory / bare decode", peakOf(grabBmp) / peakOf(bareBmp), 1.2});
        targets.push_back({name + ": morven-grab -> PNG wall / ffmpegthumbnailer", wallOf(grabPng) / wallOf(thumbnailer), 0.7});
    }

    // The registry tools: start-up and one small job.
    std::vector<Contender> tools = {
        {"reg query HKCR", {bin + "/reg", "query", "HKCR"}},
        {"regsvr (no arguments: usage)", {bin + "/regsvr"}, 1},
    };
    if (!measure(tools, std::max(runs, 20), out))
        return 1;
    std::printf("registry tools: median of %d runs\n", std::max(runs, 20));
    std::printf("  %-30s %9s %9s %9s\n", "", "wall ms", "CPU ms", "peak MB");
    for (const Contender& k : tools) {
        std::printf("  %-30s %9.1f %9.1f %9.1f\n", k.name.c_str(), wallOf(k), cpuOf(k), peakOf(k));
        targets.push_back({k.name + ": wall ms", wallOf(k), 10});
    }
    printTargets(targets);
    return 0;
}
