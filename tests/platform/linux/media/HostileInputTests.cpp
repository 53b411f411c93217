// Paths and files the pipeline must refuse or survive: the platform's codes
// for what cannot be opened, nothing but regular local files, and clean
// endings (never a hang) for broken media.
#include "tests/platform/linux/media/PipelineHarness.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mediatest;

#define EXPECT_FAILED(expr) EXPECT_LT(HRESULT(expr), 0)

namespace {

class HostileInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir = new testmedia::TempDir("media-hostile"); }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    void SetUp() override
    {
        ensureComInitialized();
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.outVoid()),
                  S_OK);
    }

    HRESULT addSource(const std::string& path)
    {
        Ref<IBaseFilter> source;
        std::u16string wide = testmedia::toUtf16(path);
        auto started = std::chrono::steady_clock::now();
        HRESULT hr = graph->AddSourceFilter(wide.c_str(), u"Source", source.out());
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << path;
        EXPECT_EQ(SUCCEEDED(hr), source.get() != nullptr);
        return hr;
    }

    // Builds the whole chain and, if that succeeds, runs it: whatever the
    // file holds, the run ends within the time limit, with a frame or an
    // abort. Returns the event code (0 when the chain could not be built).
    static LONG buildAndRun(const std::string& path, RecordingCallback& cb)
    {
        Chain chain;
        if (chain.build(path) != S_OK)
            return 0;
        chain.listen(cb);
        auto started = std::chrono::steady_clock::now();
        LONG code = chain.runToCompletion(20000);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15)) << path;
        EXPECT_TRUE(code == EC_COMPLETE || code == EC_ERRORABORT) << path << ": " << code;
        EXPECT_EQ(cb.samples, code == EC_COMPLETE ? 1 : 0) << path;
        return code;
    }

    static testmedia::TempDir* dir;
    Ref<IGraphBuilder> graph;
};
testmedia::TempDir* HostileInput::dir = nullptr;

TEST_F(HostileInput, PathsThatNameNoFileGetThePlatformsCodes)
{
    EXPECT_EQ(addSource(dir->file("missing.avi")), HRESULT(0x80070002));
    EXPECT_EQ(addSource(dir->file("no-such-dir/missing.avi")), HRESULT(0x80070003));
    EXPECT_EQ(addSource(""), HRESULT(0x80070003));
    EXPECT_EQ(addSource(dir->path()), E_ACCESSDENIED);

    Ref<IBaseFilter> source;
    EXPECT_EQ(graph->AddSourceFilter(nullptr, u"Source", source.out()), E_POINTER);
    const char16_t unpaired[] = {u'a', 0xD800, u'.', u'a', u'v', u'i', 0};
    EXPECT_FAILED(graph->AddSourceFilter(unpaired, u"Source", source.out()));
}

TEST_F(HostileInput, UnreadableFileIsAccessDenied)
{
    // A directory others may pass through, holding a file nobody may read.
    std::string open = dir->file("open");
    ASSERT_EQ(mkdir(open.c_str(), 0711), 0);
    ASSERT_EQ(chmod(dir->path().c_str(), 0711), 0);
    std::string path = testmedia::makeRawBgrAvi(open, 8, 8, 1);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    if (geteuid() != 0) {
        EXPECT_EQ(addSource(path), E_ACCESSDENIED);
        return;
    }
    // Root reads every file: the check runs as nobody, in a child.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        Ref<IBaseFilter> source;
        std::u16string wide = testmedia::toUtf16(path);
        _exit(graph->AddSourceFilter(wide.c_str(), u"Source", source.out()) == E_ACCESSDENIED ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(HostileInput, OnlyRegularFilesAreOpenedAndNothingBlocks)
{
    // A FIFO without a writer would block an open or a read forever.
    std::string fifo = dir->file("fifo.avi");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(addSource(fifo), VFW_E_UNKNOWN_FILE_TYPE);

    EXPECT_EQ(addSource("/dev/zero"), VFW_E_UNKNOWN_FILE_TYPE);
    EXPECT_EQ(addSource("/dev/null"), VFW_E_UNKNOWN_FILE_TYPE);

    std::string socketPath = dir->file("sock.avi");
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(addSource(socketPath), VFW_E_UNKNOWN_FILE_TYPE);
    close(s);

    // A link to a regular file is that file.
    std::string real = testmedia::makeRawBgrAvi(dir->path(), 8, 8, 1);
    std::string link = dir->file("link.avi");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    EXPECT_EQ(addSource(link), S_OK);
}

TEST_F(HostileInput, UrlsAndPlaylistsReachNothing)
{
    // A listener that must never see a connection.
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    ASSERT_EQ(listen(listener, 4), 0);
    std::string url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/clip.mp4";

    EXPECT_FAILED(addSource(url));
    EXPECT_FAILED(addSource("tcp://127.0.0.1:" + std::to_string(ntohs(addr.sin_port))));
    std::string real = testmedia::makeRawBgrAvi(dir->path(), 8, 8, 1);
    EXPECT_FAILED(addSource("file:" + real));

    // Files whose formats exist to fetch other resources.
    std::string playlist = dir->file("list.m3u8");
    std::ofstream(playlist) << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" << url << "\n#EXT-X-ENDLIST\n";
    std::string concat = dir->file("list.ffconcat");
    std::ofstream(concat) << "ffconcat version 1.0\nfile '" << real << "'\n";
    std::string sdp = dir->file("session.sdp");
    std::ofstream(sdp) << "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\nm=video "
                       << ntohs(addr.sin_port) << " RTP/AVP 96\na=rtpmap:96 H264/90000\n";
    for (const std::string& f : {playlist, concat, sdp}) {
        RecordingCallback cb;
        Chain chain;
        EXPECT_FAILED(chain.build(f)) << f;
    }

    int accepted = accept(listener, nullptr, nullptr);
    EXPECT_LT(accepted, 0) << "the pipeline connected to the network";
    if (accepted >= 0)
        close(accepted);
    close(listener);
}

TEST_F(HostileInput, FilesThatAreNotMediaAreRefusedByType)
{
    EXPECT_EQ(addSource(testmedia::makeEmptyFile(dir->path())), VFW_E_UNKNOWN_FILE_TYPE);
    std::string text = dir->file("notes.avi");
    std::ofstream(text) << "just some words, not a video\n";
    HRESULT hr = addSource(text);
    EXPECT_TRUE(hr == VFW_E_UNKNOWN_FILE_TYPE || hr == VFW_E_INVALID_FILE_FORMAT) << std::hex << hr;

    // Random bytes: refused with the platform's code for what is not media, or
    // at worst a run that ends by itself.
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string bytes = testmedia::makeRandomBytes(dir->path(), 48 * 1024, seed);
        Chain chain;
        const HRESULT built = chain.build(bytes);
        if (built == S_OK) {
            RecordingCallback cb;
            buildAndRun(bytes, cb);
        } else if (FAILED(chain.addSourceResult)) {
            EXPECT_TRUE(built == VFW_E_UNKNOWN_FILE_TYPE || built == VFW_E_INVALID_FILE_FORMAT) << std::hex << built;
            EXPECT_FALSE(chain.source);
        } else {
            EXPECT_EQ(chain.connectResult, VFW_E_CANNOT_CONNECT);
            EXPECT_EQ(built, VFW_E_CANNOT_CONNECT);
        }
    }
}

TEST_F(HostileInput, FileWithoutVideoHasASourceThatCannotConnect)
{
    RecordingCallback cb;
    Chain chain;
    EXPECT_EQ(chain.build(testmedia::makeAudioOnly(dir->path())), VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(chain.addSourceResult, S_OK);
    EXPECT_TRUE(chain.sourceOut);
}

TEST_F(HostileInput, StreamsWithoutADecodablePictureFailToConnect)
{
    // The headers claim pictures of these sizes; the packets hold 16x16 ones,
    // too short for any of them. Whatever the claim, nothing is allocated
    // for it and nothing decodes.
    for (auto [w, h] : {std::pair{0, 0}, {100000, 100000}, {16, 0}, {40000, 16}, {16384, 16384}, {-16, 16}, {64, 64}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        std::string path = testmedia::makeAviWithClaimedSize(dir->path(), w, h);
        Chain chain;
        HRESULT hr = chain.build(path);
        if (chain.addSourceResult == S_OK) {
            EXPECT_EQ(chain.connectResult, VFW_E_CANNOT_CONNECT);
        } else {
            EXPECT_FAILED(hr);
        }
    }
}

TEST_F(HostileInput, TruncatedFilesEndCleanly)
{
    const std::string sources[] = {
        testmedia::makeMjpegAvi(dir->path(), 160, 120, 3),
        testmedia::makeH264Mp4(dir->path(), 160, 120, 10),
        testmedia::makeMpeg4Avi(dir->path(), 160, 120, 3),
        testmedia::makeRawBgrAvi(dir->path(), 33, 17, 2),
    };
    for (const std::string& src : sources)
        for (double keep : {0.02, 0.3, 0.6, 0.97}) {
            SCOPED_TRACE(src + " at " + std::to_string(keep));
            testmedia::TempDir sub("media-truncated");
            RecordingCallback cb;
            buildAndRun(testmedia::makeTruncatedCopy(src, sub.path(), keep), cb);
        }
}

TEST_F(HostileInput, InputsTheFuzzerFoundEndCleanly)
{
    // Each file once took the pipeline somewhere it must not go; see its name.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MORVEN_FUZZ_REGRESSIONS)) {
        SCOPED_TRACE(entry.path().string());
        RecordingCallback cb;
        buildAndRun(entry.path().string(), cb);
        ++files;
    }
    EXPECT_GT(files, 0u);
}

TEST_F(HostileInput, NonAsciiPathsOpen)
{
    std::string path = testmedia::placeUnderNonAsciiPath(testmedia::makeRawBgrAvi(dir->path(), 12, 10, 1), dir->path());
    RecordingCallback cb;
    EXPECT_EQ(buildAndRun(path, cb), EC_COMPLETE);
}

} // namespace
