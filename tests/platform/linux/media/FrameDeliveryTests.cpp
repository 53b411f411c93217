// The frames the pipeline delivers: their layout byte for byte, their
// colours against FFmpeg's own decode, and the one callback of a one-shot run.
#include "platform/linux/ComRtExtensions.h"
#include "tests/platform/linux/media/PipelineHarness.h"
#include "tests/support/TestMedia.h"
#include "tests/support/ToolRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

using namespace mediatest;
using testmedia::Frame;

namespace {

class FrameDelivery : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir = new testmedia::TempDir("media-delivery"); }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static testmedia::TempDir* dir;
};
testmedia::TempDir* FrameDelivery::dir = nullptr;

// Over the block of columns [x0, x1) and rows [y0, y1) only.
double meanAbsDifferenceIn(const Frame& a, const Frame& b, int x0, int x1, int y0, int y1)
{
    uint64_t sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(a.pixels[(size_t(y) * a.width + x) * 3 + c]) -
                                int(b.pixels[(size_t(y) * b.width + x) * 3 + c]));
    return double(sum) / (double(y1 - y0) * (x1 - x0) * 3);
}

// Every byte of a raw clip's first frame: pixels, row order and padding.
void expectExactPatternFrame(int width, int height, const std::string& path)
{
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(path), S_OK);
    chain.listen(cb);

    const VIDEOINFOHEADER& vih = chain.videoInfo();
    EXPECT_EQ(chain.connected.majortype, MEDIATYPE_Video);
    EXPECT_EQ(chain.connected.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(chain.connected.formattype, FORMAT_VideoInfo);
    EXPECT_EQ(vih.bmiHeader.biWidth, width);
    EXPECT_EQ(vih.bmiHeader.biHeight, height); // positive: bottom row first
    EXPECT_EQ(vih.bmiHeader.biBitCount, 24);
    const size_t pitch = testmedia::paddedRowBytes(width);
    EXPECT_EQ(vih.bmiHeader.biSizeImage, pitch * height);

    ASSERT_EQ(chain.runToCompletion(), EC_COMPLETE);
    ASSERT_EQ(cb.samples, 1);
    ASSERT_EQ(size_t(cb.lengths[0]), pitch * height);
    const BYTE* buffer = cb.pointers[0];

    Frame got = testmedia::frameFromBuffer(buffer, width, height, true);
    Frame want = testmedia::patternFrame(width, height, 0);
    int wrong = 0;
    for (int y = 0; y < height && wrong < 5; ++y)
        for (int x = 0; x < width && wrong < 5; ++x)
            if (!(got.at(x, y) == want.at(x, y))) {
                ADD_FAILURE() << "pixel " << x << "," << y;
                ++wrong;
            }
    for (int row = 0; row < height; ++row)
        for (size_t b = size_t(width) * 3; b < pitch; ++b)
            ASSERT_EQ(buffer[row * pitch + b], 0) << "padding of row " << row;
}

TEST_F(FrameDelivery, RawClipsArriveBottomUpWithPaddedRowsByteForByte)
{
    // Odd widths leave 1 to 3 padding bytes; odd heights have a middle row.
    const std::pair<int, int> sizes[] = {{321, 241}, {320, 240}, {1, 1}, {5, 3}, {2, 7}, {163, 2}};
    for (auto [w, h] : sizes)
        expectExactPatternFrame(w, h, testmedia::makeRawBgrAvi(dir->path(), w, h, 1));
}

TEST_F(FrameDelivery, CompressedClipsMatchFfmpegsOwnDecode)
{
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"mjpeg", testmedia::makeMjpegAvi(dir->path(), 320, 240, 1)},
        {"h264 one frame", testmedia::makeH264Mp4(dir->path(), 320, 240, 1)},
        {"h264 with b-frames", testmedia::makeH264Mp4(dir->path(), 322, 180, 12)},
        {"mpeg4", testmedia::makeMpeg4Avi(dir->path(), 320, 240, 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingCallback cb;
        Chain chain;
        ASSERT_EQ(chain.build(c.path), S_OK);
        ASSERT_TRUE(chain.grabOne(cb));
        const VIDEOINFOHEADER& vih = chain.videoInfo();
        Frame want = testmedia::expectedFirstFrame(c.path);
        ASSERT_EQ(vih.bmiHeader.biWidth, want.width);
        ASSERT_EQ(vih.bmiHeader.biHeight, want.height);
        Frame got = testmedia::frameFromBuffer(cb.pointers[0], want.width, want.height, true);
        EXPECT_LT(testmedia::meanAbsDifference(got, want), 1.0);
        // The right edge and the middle rows too: a converter that skips the
        // last pixels of each row, or leaves a seam between parts of the
        // picture, barely moves the mean.
        EXPECT_LT(meanAbsDifferenceIn(got, want, want.width - 8, want.width, 0, want.height), 2.0);
        EXPECT_LT(meanAbsDifferenceIn(got, want, 0, want.width, want.height / 2 - 2, want.height / 2 + 2), 2.0);
    }
}

TEST_F(FrameDelivery, TheConnectedSizeIsTheDecodedPicturesNotTheContainers)
{
    // The container claims another size than the 64x48 pictures have.
    const std::string mjpeg = testmedia::makeMjpegAvi(dir->path(), 64, 48, 1);
    const std::string mpeg4 = testmedia::makeMpeg4Avi(dir->path(), 64, 48, 1);
    for (auto [real, w, h] : {std::tuple{mjpeg, 32, 24}, {mpeg4, 32, 24}, {mpeg4, 128, 96}}) {
        SCOPED_TRACE(real + " claimed " + std::to_string(w) + "x" + std::to_string(h));
        std::string path = testmedia::copyAviWithClaimedSize(real, dir->path(), w, h);
        RecordingCallback cb;
        Chain chain;
        ASSERT_EQ(chain.build(path), S_OK);
        EXPECT_EQ(chain.videoInfo().bmiHeader.biWidth, 64);
        EXPECT_EQ(chain.videoInfo().bmiHeader.biHeight, 48);
        ASSERT_TRUE(chain.grabOne(cb));
        EXPECT_EQ(cb.lengths[0], LONG(testmedia::paddedRowBytes(64) * 48));
        EXPECT_LE(testmedia::meanAbsDifference(testmedia::frameFromBuffer(cb.pointers[0], 64, 48, true),
                                               testmedia::expectedFirstFrame(path)),
                  1.0);
    }
}

// The filter that hands the grabber its samples.
std::u16string filterBeforeGrabber(Chain& chain)
{
    Ref<IPin> upstream;
    if (chain.grabberIn->ConnectedTo(upstream.out()) != S_OK)
        return u"";
    PIN_INFO pin{};
    upstream->QueryPinInfo(&pin);
    FILTER_INFO filter{};
    pin.pFilter->QueryFilterInfo(&filter);
    if (filter.pGraph)
        filter.pGraph->Release();
    pin.pFilter->Release();
    return filter.achName;
}

TEST_F(FrameDelivery, MotionJpegIsDecodedStraightIntoTheSampleWhereThatGivesFfmpegsPicture)
{
    auto still = [&](const std::string& name, const std::string& pixelFormat) {
        std::string path = dir->file(name);
        testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc2=size=96x64",
                            "-frames:v", "1", "-pix_fmt", pixelFormat, "-q:v", "3", path});
        return path;
    };
    struct Case {
        std::string path;
        const char16_t* decoder;
    };
    const std::string clip = testmedia::makeMjpegAvi(dir->path(), 96, 64, 2);
    const Case cases[] = {
        {clip, u"JPEG Decoder"},
        {still("plain.jpg", "yuvj422p"), u"JPEG Decoder"},
        // Left to FFmpeg: pictures of another size than the container's (the
        // fields of an interlaced frame look so), and a damaged picture.
        {testmedia::copyAviWithClaimedSize(clip, dir->path(), 96, 32), u"Colour Converter"},
        {testmedia::makeTruncatedCopy(still("whole.jpg", "yuvj420p"), dir->path(), 0.6), u"Colour Converter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        RecordingCallback cb;
        Chain chain;
        ASSERT_EQ(chain.build(c.path), S_OK);
        EXPECT_EQ(filterBeforeGrabber(chain), c.decoder);
        ASSERT_TRUE(chain.grabOne(cb));
        Frame want = testmedia::expectedFirstFrame(c.path);
        EXPECT_LE(testmedia::meanAbsDifference(
                      testmedia::frameFromBuffer(cb.pointers[0], want.width, want.height, true), want),
                  1.0);
    }
}

TEST_F(FrameDelivery, ADamagedPictureNeverShowsAnotherFilesPixels)
{
    // A JPEG cut short decodes to its first rows; FFmpeg leaves the rest of
    // its fresh buffer as it found it: zero. Picture buffers large enough to
    // be kept for the next pipeline must come back just as clean, not
    // holding the white picture grabbed before.
    auto still = [&](const std::string& name, const std::string& source) {
        std::string path = dir->file(name);
        testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", source + "1920x1080",
                            "-frames:v", "1", "-q:v", "3", path});
        return path;
    };
    std::string white = still("white.jpg", "color=c=white:size=");
    std::string cut = testmedia::makeTruncatedCopy(still("bars.jpg", "testsrc2=size="), dir->path(), 0.4);
    Frame want = testmedia::expectedFirstFrame(cut);
    for (const std::string& path : {white, cut}) {
        SCOPED_TRACE(path);
        RecordingCallback cb;
        Chain chain;
        ASSERT_EQ(chain.build(path), S_OK);
        ASSERT_TRUE(chain.grabOne(cb));
        if (path == cut) {
            EXPECT_LE(testmedia::meanAbsDifference(testmedia::frameFromBuffer(cb.pointers[0], 1920, 1080, true), want),
                      1.0);
        }
    }
}

// A first picture of 1024 rows or more is converted band by band by the
// caller while it is decoded; it must still be FFmpeg's picture to the last
// byte: no seam between bands, the right edge of a width that is not a
// multiple of 8, rows past the shown ones (1080 coded as 1088) left out.
// A damaged picture, or a layout the bands were not made for, goes the
// ordinary way. (Narrow pictures, so that the clips are quick to make.)
TEST_F(FrameDelivery, APictureConvertedWhileDecodedIsFfmpegsPictureToTheByte)
{
    auto h264 = [&](const std::string& name, const std::string& size, const char* format) {
        std::string path = dir->file(name);
        testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                            "testsrc2=size=" + size + ":rate=25", "-frames:v", "3", "-c:v", "libx264", "-pix_fmt",
                            format, path});
        return path;
    };
    std::string whole = h264("whole.h264", "320x1024", "yuv420p");
    std::string cut = testmedia::makeTruncatedCopy(whole, dir->path(), 0.15);
    // Four slices, bytes in the middle of the first one overwritten: the
    // rows of the other three come out as decoded, the first one's are
    // patched up after the decode.
    std::string slices = dir->file("slices.h264");
    testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc2=size=320x1024:rate=25",
                        "-frames:v", "1", "-c:v", "libx264", "-x264-params", "slices=4", "-pix_fmt", "yuv420p", slices});
    std::string damaged = dir->file("damaged-slice.h264");
    {
        std::vector<uint8_t> bytes = testmedia::readWholeFile(slices);
        const uint8_t idr[] = {0, 0, 1, 0x65};
        auto first = std::search(bytes.begin(), bytes.end(), std::begin(idr), std::end(idr));
        ASSERT_LT(first + 400, bytes.end());
        std::fill(first + 200, first + 300, uint8_t(0x5A));
        testmedia::writeWholeFile(damaged, bytes);
    }
    // Every picture a key picture, the first one cut off by an edit list: the
    // decoder's first picture is dropped, and the next one, decoded into
    // the same planes, is the first frame.
    std::string intra = dir->file("intra.mp4");
    testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc2=size=256x1024:rate=25",
                        "-frames:v", "8", "-c:v", "libx264", "-x264-params", "keyint=1", "-pix_fmt", "yuv420p", intra});
    std::string intraCut = dir->file("intra-cut.mp4");
    testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-y", "-ss", "0.05", "-i", intra, "-c", "copy", intraCut});
    struct Case {
        const char* name;
        std::string path;
        bool inBands;
        bool topDown;
    };
    const Case cases[] = {
        {"h264 with b-frames", testmedia::makeH264Mp4(dir->path(), 320, 1024, 12), true, false},
        {"h264 coded taller than shown", testmedia::makeH264Mp4(dir->path(), 256, 1080, 1), true, false},
        {"h264 width not a multiple of 8", testmedia::makeH264Mp4(dir->path(), 250, 1024, 1), true, false},
        {"h264 4:2:2", h264("422.mp4", "320x1024", "yuv422p"), true, false},
        {"mpeg4", testmedia::makeMpeg4Avi(dir->path(), 320, 1024, 5), true, false},
        {"h264 too short for bands", testmedia::makeH264Mp4(dir->path(), 640, 480, 1), false, false},
        {"h264 elementary stream", whole, true, false},
        {"h264 cut inside its first picture", cut, false, false},
        {"h264 whose first picture is cut off", intraCut, false, false},
        {"h264 with a damaged slice", damaged, false, false},
        {"top-down output", whole, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComRtResetMediaHooks();
        ComRtSetMediaTopDownOutput(c.topDown);
        RecordingCallback cb;
        Chain chain;
        ASSERT_EQ(chain.build(c.path), S_OK);
        ASSERT_TRUE(chain.grabOne(cb));
        EXPECT_EQ(ComRtMediaPicturesConvertedWhileDecoded(), c.inBands ? 1 : 0);
        Frame want = testmedia::expectedFirstFrame(c.path);
        Frame got = testmedia::frameFromBuffer(cb.pointers[0], want.width, want.height, !c.topDown);
        EXPECT_EQ(testmedia::meanAbsDifference(got, want), 0.0);
    }
    ComRtResetMediaHooks();
}

// A pipeline takes up the scaler an earlier one put aside only where that
// was set up for the same picture: the same size in another range, matrix
// or format gets colours of its own.
TEST_F(FrameDelivery, PipelinesOneAfterAnotherEachGetTheirOwnColours)
{
    auto h264 = [&](const std::string& name, std::vector<std::string> colour) {
        std::string path = dir->file(name);
        std::vector<std::string> args = {"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                         "testsrc2=size=96x64:rate=25", "-frames:v", "1", "-c:v", "libx264"};
        args.insert(args.end(), colour.begin(), colour.end());
        args.push_back(path);
        testmedia::runTool(args);
        return path;
    };
    const std::string limited601 = h264("601.mp4", {"-pix_fmt", "yuv420p", "-colorspace", "bt470bg"});
    // (At 8 bits FFmpeg names full range as a format of its own; at 10 it does not.)
    const std::string files[] = {
        limited601,
        h264("709.mp4", {"-pix_fmt", "yuv420p", "-colorspace", "bt709"}),
        h264("444.mp4", {"-pix_fmt", "yuv444p", "-colorspace", "bt470bg"}),
        h264("10bit.mp4", {"-pix_fmt", "yuv420p10le", "-colorspace", "bt470bg"}),
        h264("10bit-full.mp4", {"-pix_fmt", "yuv420p10le", "-colorspace", "bt470bg", "-color_range", "pc"}),
        limited601,
    };
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        RecordingCallback cb;
        Chain chain;
        ASSERT_EQ(chain.build(path), S_OK);
        ASSERT_TRUE(chain.grabOne(cb));
        Frame want = testmedia::expectedFirstFrame(path);
        Frame got = testmedia::frameFromBuffer(cb.pointers[0], want.width, want.height, true);
        EXPECT_EQ(testmedia::meanAbsDifference(got, want), 0.0);
    }
}

TEST_F(FrameDelivery, OneShotCallsBackOnceOnAStreamingThreadAndKeepsTheFrame)
{
    std::string path = testmedia::makeRawBgrAvi(dir->path(), 64, 48, 5);
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(path), S_OK);
    chain.listen(cb);
    BYTE* seenInCallback = nullptr;
    cb.onSample = [&](IMediaSample* s) {
        BYTE* p = nullptr;
        EXPECT_EQ(s->GetPointer(&p), S_OK);
        seenInCallback = p;
        EXPECT_EQ(s->GetActualDataLength(), s->GetSize());
    };
    ASSERT_EQ(chain.runToCompletion(), EC_COMPLETE);

    ASSERT_EQ(cb.samples, 1);
    EXPECT_EQ(cb.buffers, 0);
    EXPECT_NE(cb.threads[0], std::this_thread::get_id());
    EXPECT_EQ(cb.pointers[0], seenInCallback);

    // The buffer stays readable and unchanged until the graph stops, though
    // the clip has more frames.
    Frame first = testmedia::patternFrame(64, 48, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(testmedia::meanAbsDifference(testmedia::frameFromBuffer(cb.pointers[0], 64, 48, true), first), 0.0);
    EXPECT_EQ(cb.samples, 1);

    // A second wait on the completed run returns at once, with the same code.
    LONG code = 0;
    EXPECT_EQ(chain.events->WaitForCompletion(0, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
}

TEST_F(FrameDelivery, BufferCallbackAndBufferedCopyGetTheWholeFrame)
{
    std::string path = testmedia::makeRawBgrAvi(dir->path(), 7, 5, 1);
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(path), S_OK);
    chain.listen(cb, true, 1);
    LONG size = 0;
    EXPECT_EQ(chain.grabber->GetCurrentBuffer(&size, nullptr), E_INVALIDARG); // not buffering
    chain.grabber->SetBufferSamples(TRUE);
    EXPECT_EQ(chain.grabber->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE); // nothing yet
    ASSERT_EQ(chain.runToCompletion(), EC_COMPLETE);
    EXPECT_EQ(cb.samples, 0);
    ASSERT_EQ(cb.buffers, 1);
    const LONG frameBytes = LONG(testmedia::paddedRowBytes(7) * 5);
    EXPECT_EQ(cb.lengths[0], frameBytes);
    EXPECT_EQ(testmedia::frameFromBuffer(cb.pointers[0], 7, 5, true).at(6, 0), testmedia::patternPixel(6, 0, 0));

    ASSERT_EQ(chain.grabber->GetCurrentBuffer(&size, nullptr), S_OK);
    ASSERT_EQ(size, frameBytes);
    std::vector<LONG> copy((size + 3) / 4);
    LONG tooSmall = size - 1;
    EXPECT_EQ(chain.grabber->GetCurrentBuffer(&tooSmall, copy.data()), E_OUTOFMEMORY);
    ASSERT_EQ(chain.grabber->GetCurrentBuffer(&size, copy.data()), S_OK);
    EXPECT_EQ(std::memcmp(copy.data(), cb.pointers[0], size_t(size)), 0);
}

TEST_F(FrameDelivery, WithoutOneShotEveryFrameArrivesInOrder)
{
    std::string path = testmedia::makeRawBgrAvi(dir->path(), 16, 8, 4);
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(path), S_OK);
    chain.listen(cb, false);
    std::vector<uint8_t> reds;
    cb.onSample = [&](IMediaSample* s) {
        BYTE* p = nullptr;
        s->GetPointer(&p);
        // Top-left pixel: the last row in memory.
        reds.push_back(p[testmedia::paddedRowBytes(16) * 7 + 2]);
    };
    ASSERT_EQ(chain.runToCompletion(), EC_COMPLETE);
    ASSERT_EQ(cb.samples, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(reds[i], testmedia::patternPixel(0, 0, i).r) << "frame " << i;
    EXPECT_LT(cb.times[0], cb.times[3]);
}

TEST_F(FrameDelivery, EveryFrameOfAReorderedStreamArrivesInPresentationOrder)
{
    // B-frames: the decoder reorders, on several threads when played on.
    std::string path = testmedia::makeH264Mp4(dir->path(), 192, 108, 12);
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(path), S_OK);
    chain.listen(cb, false);
    ASSERT_EQ(chain.runToCompletion(), EC_COMPLETE);
    ASSERT_EQ(cb.samples, 12);
    for (size_t i = 1; i < cb.times.size(); ++i)
        EXPECT_LT(cb.times[i - 1], cb.times[i]) << "sample " << i;
}

} // namespace
