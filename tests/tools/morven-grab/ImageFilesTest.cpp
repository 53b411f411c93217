// Every format morven-grab writes, read back by another library and compared with
// the frame it was given: upright, in true colours, for each layout Grab can hand out.
#include "tools/morven-grab/ImageFiles.h"

#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <vector>

namespace grab {
namespace {

namespace fs = std::filesystem;

// A buffer laid out as Grab hands it out, with junk in the row padding and in a fourth
// channel. The picture is smooth enough for JPEG yet shows any flip or channel swap:
// blue grows to the right, green downwards, red along the diagonal.
struct TestFrame {
    int width, height, channels;
    bool topFirst;
    std::vector<std::uint8_t> buffer;

    TestFrame(int w, int h, int c, bool top) : width(w), height(h), channels(c), topFirst(top)
    {
        buffer.assign(pitch() * static_cast<std::size_t>(h), 0xEE);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = buffer.data() + pitch() * static_cast<std::size_t>(top ? y : h - 1 - y);
            for (int x = 0; x < w; ++x) {
                const testmedia::Bgr p = expected(x, y);
                std::uint8_t* px = row + static_cast<std::size_t>(x) * c;
                if (c == 1) {
                    px[0] = p.g;
                    continue;
                }
                px[0] = p.b;
                px[1] = p.g;
                px[2] = p.r;
                if (c == 4)
                    px[3] = 0x5A;
            }
        }
    }

    std::size_t pitch() const { return (static_cast<std::size_t>(width) * channels + 3) & ~std::size_t{3}; }

    testmedia::Bgr expected(int x, int y) const
    {
        const auto b = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
        const auto g = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
        const auto r = static_cast<std::uint8_t>((x + y) * 255 / std::max(1, width + height - 2));
        if (channels == 1)
            return {g, g, g};
        return {b, g, r};
    }

    FrameView view() const
    {
        FrameView v;
        v.data = buffer.data();
        v.width = width;
        v.height = height;
        v.channels = channels;
        v.pitch = pitch();
        v.topFirst = topFirst;
        return v;
    }
};

// Mean absolute difference per byte between the file and the frame, or a reason it is not comparable.
testing::AssertionResult differsBy(const std::string& path, const TestFrame& frame, double atMost)
{
    const cv::Mat image = cv::imread(path, cv::IMREAD_COLOR);
    if (image.empty())
        return testing::AssertionFailure() << path << " cannot be read";
    if (image.cols != frame.width || image.rows != frame.height)
        return testing::AssertionFailure() << path << " is " << image.cols << "x" << image.rows;
    double sum = 0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const cv::Vec3b got = image.at<cv::Vec3b>(y, x);
            const testmedia::Bgr want = frame.expected(x, y);
            sum += std::abs(got[0] - want.b) + std::abs(got[1] - want.g) + std::abs(got[2] - want.r);
            if (atMost == 0 && sum != 0)
                return testing::AssertionFailure() << path << ": pixel (" << x << ", " << y << ") differs";
        }
    const double mean = sum / (3.0 * frame.width * frame.height);
    if (mean > atMost)
        return testing::AssertionFailure() << path << " differs by " << mean << " per byte";
    return testing::AssertionSuccess();
}

class ImageFiles : public testing::Test {
protected:
    std::string scratch(const std::string& name) const { return dir_.file(name); }

private:
    testkit::ScratchDirectory dir_{"morven-grab-images"};
};

using Writer = bool (*)(const FrameView&, const std::string&, std::string&);
struct Format {
    const char* name;
    Writer write;
    double tolerance; // mean difference per byte; JPEG's ordinary loss at its quality
};
const Format kFormats[] = {
    {"frame.bmp", writeBmp, 0}, {"frame.ppm", writePpm, 0}, {"frame.png", writePng, 0}, {"frame.jpg", writeJpeg, 1.5}};

TEST_F(ImageFiles, EveryFormatHoldsTheFrameUprightInTrueColoursForEveryLayout)
{
    // 37 pixels: rows of 37, 111 and 148 bytes, two of them padded.
    for (const int channels : {1, 3, 4})
        for (const bool topFirst : {false, true}) {
            const TestFrame frame(37, 23, channels, topFirst);
            for (const Format& format : kFormats) {
                SCOPED_TRACE(std::string(format.name) + ", " + std::to_string(channels) + " channels, " +
                             (topFirst ? "top" : "bottom") + " row first");
                std::string error;
                ASSERT_TRUE(format.write(frame.view(), scratch(format.name), error)) << error;
                EXPECT_TRUE(differsBy(scratch(format.name), frame, format.tolerance));
            }
        }
}

TEST_F(ImageFiles, CompressedFormatsAreCompressed)
{
    const TestFrame frame(640, 480, 3, false);
    const auto raw = static_cast<std::uintmax_t>(640 * 480 * 3);
    std::string error;
    ASSERT_TRUE(writePng(frame.view(), scratch("frame.png"), error)) << error;
    EXPECT_LT(fs::file_size(scratch("frame.png")), raw / 4);
    EXPECT_TRUE(differsBy(scratch("frame.png"), frame, 0));
    ASSERT_TRUE(writeJpeg(frame.view(), scratch("frame.jpg"), error)) << error;
    EXPECT_LT(fs::file_size(scratch("frame.jpg")), raw / 10);
}

TEST_F(ImageFiles, FormatComesFromTheExtensionInAnyCase)
{
    EXPECT_EQ(imageFormatOf("a.png"), ImageFormat::Png);
    EXPECT_EQ(imageFormatOf("dir/A.PNG"), ImageFormat::Png);
    EXPECT_EQ(imageFormatOf("a.jpg"), ImageFormat::Jpeg);
    EXPECT_EQ(imageFormatOf("a.JPEG"), ImageFormat::Jpeg);
    EXPECT_EQ(imageFormatOf("a.bmp"), ImageFormat::Bmp);
    EXPECT_EQ(imageFormatOf("a.ppm"), ImageFormat::Ppm);
    EXPECT_EQ(imageFormatOf("a.tiff"), ImageFormat::Unknown);
    EXPECT_EQ(imageFormatOf("png"), ImageFormat::Unknown);
    EXPECT_EQ(imageFormatOf("out.png/frame"), ImageFormat::Unknown);
}

TEST_F(ImageFiles, FailedWritesSayWhyAndLeaveNoFileBehind)
{
    const TestFrame frame(64, 48, 3, false);
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        std::string error;
        const std::string missingDir = scratch("no-such-dir") + "/" + format.name;
        EXPECT_FALSE(format.write(frame.view(), missingDir, error));
        EXPECT_NE(error.find("cannot create " + missingDir), std::string::npos) << error;

        // A device that takes no data: the failure is reported, the device left alone.
        const std::string full = scratch(std::string("full-") + format.name);
        fs::create_symlink("/dev/full", full);
        error.clear();
        EXPECT_FALSE(format.write(frame.view(), full, error));
        EXPECT_NE(error.find("cannot write " + full), std::string::npos) << error;
        EXPECT_TRUE(fs::exists("/dev/full"));
    }

    // A regular file cut short by the file size limit is removed again.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1000;
    const TestFrame large(640, 480, 3, true);
    for (const Format& format : kFormats) {
        std::string error;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = format.write(large.view(), scratch(format.name), error);
        setrlimit(RLIMIT_FSIZE, &saved);
        SCOPED_TRACE(format.name);
        EXPECT_FALSE(written);
        EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(scratch(format.name)));
    }
    std::signal(SIGXFSZ, SIG_DFL);
}

TEST_F(ImageFiles, JpegBeyondItsSizeLimitIsAnErrorNotAFile)
{
    // JPEG stops at 65535 pixels a side.
    const TestFrame wide(70000, 2, 3, false);
    std::string error;
    EXPECT_FALSE(writeJpeg(wide.view(), scratch("wide.jpg"), error));
    EXPECT_NE(error.find("JPEG encoder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(scratch("wide.jpg")));
    EXPECT_TRUE(writePng(wide.view(), scratch("wide.png"), error)) << error;
}

} // namespace
} // namespace grab
