// morven-grab as a batch: folders and lists of videos, some damaged, some that crash
// or stall their worker (through the runtime's test hook), into a folder of images,
// each compared with FFmpeg's own first frame.
#include "tests/e2e/E2eTest.h"
#include "tests/e2e/FrameFiles.h"
#include "tests/support/ToolRunner.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;

// A folder of clips of several codecs and containers, one in a sub-folder, and
// files that cannot give a frame. Made once per test process.
struct BatchMedia {
    std::string folder;
    std::vector<std::string> good;    // relative to folder
    std::vector<std::string> damaged; // relative to folder
};

const BatchMedia& batchMedia()
{
    static testmedia::TempDir dir("morven-batch-media");
    static const BatchMedia made = [] {
        BatchMedia m;
        m.folder = dir.file("videos");
        const std::string sub = m.folder + "/more";
        fs::create_directories(sub);
        auto relative = [&](const std::string& path) { return fs::path(path).lexically_relative(m.folder).string(); };
        m.good.push_back(relative(testmedia::makeMjpegAvi(m.folder, 62, 46, 3)));
        m.good.push_back(relative(testmedia::makeH264Mp4(m.folder, 66, 50, 5)));
        m.good.push_back(relative(testmedia::makeMpeg4Avi(m.folder, 64, 48, 2)));
        m.good.push_back(relative(testmedia::makeRawBgrAvi(m.folder, 37, 23)));
        m.good.push_back(relative(testmedia::makeH264Mp4(sub, 34, 26, 3)));
        const std::string vp9 = m.folder + "/vp9-48x32.webm";
        testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                            "testsrc2=size=48x32:rate=25", "-frames:v", "3", "-c:v", "libvpx-vp9", "-pix_fmt",
                            "yuv420p", vp9});
        m.good.push_back(relative(vp9));
        const std::string whole = testmedia::makeH264Mp4(dir.path(), 66, 50, 5);
        m.damaged.push_back(relative(testmedia::makeTruncatedCopy(whole, m.folder, 0.1)));
        m.damaged.push_back(relative(testmedia::makeRandomBytes(m.folder, 4096, 7)));
        m.damaged.push_back(relative(testmedia::makeEmptyFile(m.folder)));
        m.damaged.push_back(relative(testmedia::makeAudioOnly(m.folder)));
        return m;
    }();
    return made;
}

std::string imageNameOf(const std::string& video, const std::string& extension = ".png")
{
    return fs::path(video).replace_extension(extension).string();
}

// Where a folder batch puts the image of `video` (relative to its input folder).
std::string imageInFolder(const std::string& out, const std::string& video, const std::string& extension = ".png")
{
    return out + "/" + imageNameOf(video, extension);
}

// Where a list batch puts it: straight into the output folder.
std::string imageOfListed(const std::string& out, const std::string& video, const std::string& extension = ".png")
{
    return out + "/" + fs::path(imageNameOf(video, extension)).filename().string();
}

std::string readText(const std::string& path)
{
    const std::vector<uint8_t> bytes = testmedia::readWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The file each 'failed:' line names, and the reason it gives.
std::map<std::string, std::string> failuresIn(const std::string& out)
{
    std::map<std::string, std::string> failures;
    for (const std::string& line : linesOf(out)) {
        if (line.rfind("failed: ", 0) != 0)
            continue;
        const std::size_t colon = line.find(": ", 8);
        failures[line.substr(8, colon - 8)] = colon == std::string::npos ? "" : line.substr(colon + 2);
    }
    return failures;
}

std::string summaryOf(const std::string& out)
{
    const std::vector<std::string> lines = linesOf(out);
    return lines.empty() ? "" : lines.back();
}

std::vector<std::string> hiddenFilesUnder(const std::string& folder)
{
    std::vector<std::string> hidden;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().string()[0] == '.')
            hidden.push_back(entry.path().string());
    return hidden;
}

class E2eBatch : public E2eTest {
protected:
    // `image` holds FFmpeg's first frame of `video` (relative to the media folder).
    static void expectFrame(const std::string& video, const std::string& image, double tolerance = 2.0)
    {
        SCOPED_TRACE(video);
        const std::optional<testmedia::Frame> got = readImage(image);
        ASSERT_TRUE(got) << image << " is missing or unreadable";
        const testmedia::Frame expected = testmedia::expectedFirstFrame(batchMedia().folder + "/" + video);
        ASSERT_EQ(got->width, expected.width);
        ASSERT_EQ(got->height, expected.height);
        EXPECT_LE(meanDifference(*got, expected), tolerance);
    }

    // Only result lines on standard output, nothing on standard error.
    static void expectOnlyResultLines(const ProcessResult& result)
    {
        for (const std::string& line : linesOf(result.out))
            EXPECT_TRUE(line.rfind("failed: ", 0) == 0 || line.rfind("summary: ", 0) == 0) << line;
        EXPECT_EQ(result.err, "");
    }

    // A folder with the good clips and copies of two of them whose names arm the
    // runtime's hook: one crashes its worker at Connect, one stalls it there.
    std::string folderWithFaults()
    {
        const std::string folder = scratch("faults");
        fs::create_directories(folder + "/more");
        for (const std::string& video : batchMedia().good)
            fs::copy_file(batchMedia().folder + "/" + video, folder + "/" + video);
        fs::copy_file(batchMedia().folder + "/" + batchMedia().good[1], folder + "/crash-me.mp4");
        fs::copy_file(batchMedia().folder + "/" + batchMedia().good[0], folder + "/stall-me.avi");
        return folder;
    }
};

TEST_F(E2eBatch, FolderOfGoodAndDamagedVideosEveryGoodOneGetsFfmpegsFirstFrame)
{
    E2E_REGISTER(registration);
    const BatchMedia& media = batchMedia();
    const std::string out = scratch("frames");
    const ProcessResult result = grab({"-j", "2", media.folder, "-o", out + "/"});
    EXPECT_EQ(result.exitCode, 6) << result.text();
    expectOnlyResultLines(result);

    std::map<std::string, std::string> failures = failuresIn(result.out);
    std::set<std::string> failed;
    for (const auto& [file, reason] : failures) {
        failed.insert(fs::path(file).lexically_relative(media.folder).string());
        EXPECT_NE(reason.find("cannot open it"), std::string::npos) << file << ": " << reason;
    }
    EXPECT_EQ(failed, std::set<std::string>(media.damaged.begin(), media.damaged.end())) << result.out;
    const std::size_t total = media.good.size() + media.damaged.size();
    EXPECT_EQ(summaryOf(result.out).rfind("summary: " + std::to_string(total) + " files, " +
                                              std::to_string(media.good.size()) + " written, " +
                                              std::to_string(media.damaged.size()) + " failed in ",
                                          0),
              0u)
        << result.out;

    for (const std::string& video : media.good)
        expectFrame(video, imageInFolder(out, video));
    for (const std::string& video : media.damaged)
        EXPECT_FALSE(fs::exists(out + "/" + imageNameOf(video))) << video;
    EXPECT_EQ(hiddenFilesUnder(out), std::vector<std::string>{});
}

TEST_F(E2eBatch, WorkerThatCrashesOrStallsCostsThatFileOnly)
{
    E2E_REGISTER(registration);
    const std::string folder = folderWithFaults();
    setenv("COMRT_MEDIA_TEST_CRASH", "crash-me", 1);
    setenv("COMRT_MEDIA_TEST_STALL", "stall-me", 1);
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("-j ") + jobs);
        const std::string out = scratch(std::string("frames-") + jobs);
        const auto start = std::chrono::steady_clock::now();
        const ProcessResult result = grab({"-j", jobs, "--timeout", "2", folder, "-o", out});
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(result.exitCode, 6) << result.text();
        expectOnlyResultLines(result);
        EXPECT_LT(seconds, 30.0);

        const std::map<std::string, std::string> failures = failuresIn(result.out);
        ASSERT_EQ(failures.size(), 2u) << result.out;
        EXPECT_NE(failures.at(folder + "/crash-me.mp4").find("its worker crashed (signal 11"), std::string::npos)
            << result.out;
        EXPECT_NE(failures.at(folder + "/stall-me.avi").find("took longer than 2 s; its worker was ended"),
                  std::string::npos)
            << result.out;
        EXPECT_NE(summaryOf(result.out).find(", 2 failed (1 worker crash, 1 timeout) in "), std::string::npos)
            << result.out;
        for (const std::string& video : batchMedia().good)
            expectFrame(video, imageInFolder(out, video));
        EXPECT_FALSE(fs::exists(out + "/crash-me.png"));
        EXPECT_FALSE(fs::exists(out + "/stall-me.png"));
        EXPECT_EQ(hiddenFilesUnder(out), std::vector<std::string>{});
    }
    unsetenv("COMRT_MEDIA_TEST_CRASH");
    unsetenv("COMRT_MEDIA_TEST_STALL");
}

TEST_F(E2eBatch, ListOnStandardInputInTheFormatAsked)
{
    E2E_REGISTER(registration);
    const BatchMedia& media = batchMedia();
    std::string lines, nulSeparated;
    for (const std::string& video : media.good) {
        lines += media.folder + "/" + video + "\n";
        nulSeparated += media.folder + "/" + video + '\0';
    }
    const std::string missing = scratch("no-such-video.mp4");
    lines += missing + "\n";

    const std::string out = scratch("bmp");
    const ProcessResult result = grab({"-", "-o", out, "--format", "bmp", "--flip"}, {}, lines);
    EXPECT_EQ(result.exitCode, 6) << result.text();
    expectOnlyResultLines(result);
    const std::map<std::string, std::string> failures = failuresIn(result.out);
    ASSERT_EQ(failures.size(), 1u) << result.out;
    EXPECT_EQ(failures.begin()->first, missing);
    EXPECT_EQ(failures.begin()->second, "no such file or folder");
    // Files named in a list go straight into the output folder.
    for (const std::string& video : media.good) {
        EXPECT_EQ(fileStart(imageOfListed(out, video, ".bmp"), 2), "BM") << video;
        expectFrame(video, imageOfListed(out, video, ".bmp"));
    }

    const std::string jpegs = scratch("jpg");
    const ProcessResult nul = grab({"-0", "-j", "2", "-", "-o", jpegs + "/", "--format", "jpg"}, {}, nulSeparated);
    EXPECT_EQ(nul.exitCode, 0) << nul.text();
    expectOnlyResultLines(nul);
    EXPECT_EQ(linesOf(nul.out).size(), 1u) << nul.out;
    for (const std::string& video : media.good)
        EXPECT_EQ(fileStart(imageOfListed(jpegs, video, ".jpg"), 3), "\xFF\xD8\xFF") << video;
}

TEST_F(E2eBatch, ClassNotRegisteredStopsTheBatchWithOneMessage)
{
    const std::string out = scratch("frames");
    const ProcessResult result = grab({"-j", "2", batchMedia().folder, "-o", out});
    EXPECT_EQ(result.exitCode, 2) << result.text();
    EXPECT_NE(result.err.find("MORVEN.CMORVENProc is not registered"), std::string::npos) << result.err;
    EXPECT_EQ(failuresIn(result.out).size(), 0u) << result.out;
    EXPECT_NE(summaryOf(result.out).find(", stopped"), std::string::npos) << result.out;
    EXPECT_TRUE(fs::is_empty(out));
}

// The README's way of spreading a list over machines, with this machine as the only one.
TEST_F(E2eBatch, GnuParallelSpreadsAListOverMorvenGrabRuns)
{
    E2E_REGISTER(registration);
    if (system("parallel --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "GNU parallel is not installed (scripts/setup.sh installs it)";
    const BatchMedia& media = batchMedia();
    std::string lines;
    for (const std::string& video : media.good)
        lines += media.folder + "/" + video + "\n";
    const std::string out = scratch("frames");
    const std::string command = binPath("morven-grab") + " -j 1 - -o " + out + "/";
    const ProcessResult result = runProcess(
        {"/usr/bin/env", "parallel", "--pipe", "-N", "2", "-j", "2", "--sshlogin", ":", command}, {}, lines);
    EXPECT_EQ(result.exitCode, 0) << result.text();
    EXPECT_EQ(failuresIn(result.out).size(), 0u) << result.out;
    for (const std::string& video : media.good)
        expectFrame(video, imageOfListed(out, video));

    // A damaged file fails its own run only; parallel counts the failed runs.
    const ProcessResult damaged = runProcess(
        {"/usr/bin/env", "parallel", "--pipe", "-N", "2", "-j", "2", "--sshlogin", ":", command}, {},
        lines + media.folder + "/" + media.damaged[1] + "\n");
    EXPECT_EQ(damaged.exitCode, 1) << damaged.text();
    EXPECT_EQ(failuresIn(damaged.out).size(), 1u) << damaged.out;
}

// Ctrl-C or a TERM ends the batch and every worker with it, a stalled one too.
TEST_F(E2eBatch, InterruptedBatchEndsItsWorkers)
{
    E2E_REGISTER(registration);
    const std::string folder = folderWithFaults();
    setenv("COMRT_MEDIA_TEST_STALL", "stall-me", 1);
    const std::string grabPath = binPath("morven-grab");
    const std::string out = scratch("frames");
    const std::string log = scratch("batch.log");
    std::vector<std::string> args{grabPath, "-j", "2", "--timeout", "60", folder + "/stall-me.avi", folder, "-o", out};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, grabPath.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    unsetenv("COMRT_MEDIA_TEST_STALL");

    // Once every other file is done, only the stalled worker is left.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto imagesWritten = [&] {
        std::size_t n = 0;
        for (const std::string& video : batchMedia().good)
            n += fs::exists(imageInFolder(out, video));
        return n;
    };
    while (imagesWritten() < batchMedia().good.size() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(imagesWritten(), batchMedia().good.size());
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string printed = readText(log);
    EXPECT_NE(summaryOf(printed).find(", interrupted"), std::string::npos) << printed;

    // No process holds the stalled file open any more.
    const std::string stalled = folder + "/stall-me.avi";
    bool held = false;
    for (const auto& process : fs::directory_iterator("/proc")) {
        std::error_code ec;
        for (fs::directory_iterator fd(process.path() / "fd", ec), end; !ec && fd != end; fd.increment(ec))
            held = held || fs::read_symlink(fd->path(), ec).string() == stalled;
    }
    EXPECT_FALSE(held) << "a worker outlived its batch";
}

} // namespace
} // namespace e2e
