// Our image-header functions against the real image library:
// the same header fields, the same flipped pixels, the same refusals.
#include <opencv2/core/core_c.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

extern "C" {
IplImage* standin_cvCreateImageHeader(CvSize size, int depth, int channels);
void standin_cvReleaseImageHeader(IplImage** image);
void standin_cvFlip(const CvArr* src, CvArr* dst, int flip_mode);
}

namespace {

// The real library loses the header it made when it refuses a geometry (the
// stand-in does not); the leak checker is told to look away from that one.
class LibraryLeaksOnRefusal {
public:
#if defined(__SANITIZE_ADDRESS__)
    LibraryLeaksOnRefusal() { __lsan_disable(); }
    ~LibraryLeaksOnRefusal() { __lsan_enable(); }
#endif
};

struct Geometry {
    int width;
    int height;
    int depth;
    int channels;
};

// Both headers for one geometry, released at the end.
struct HeaderPair {
    IplImage* library;
    IplImage* standin;
    explicit HeaderPair(const Geometry& g)
        : library(cvCreateImageHeader(cvSize(g.width, g.height), g.depth, g.channels)),
          standin(standin_cvCreateImageHeader(cvSize(g.width, g.height), g.depth, g.channels))
    {
    }
    ~HeaderPair()
    {
        cvReleaseImageHeader(&library);
        standin_cvReleaseImageHeader(&standin);
    }
};

// The signed depths carry the sign bit: negative as the header's int.
const int kDepths[] = {IPL_DEPTH_1U, IPL_DEPTH_8U, int(IPL_DEPTH_8S), IPL_DEPTH_16U,
                       int(IPL_DEPTH_16S), int(IPL_DEPTH_32S), IPL_DEPTH_32F, IPL_DEPTH_64F};

TEST(ImageHeader, FieldsMatchTheLibraryForEveryDepthChannelCountAndSize)
{
    const CvSize sizes[] = {{0, 0}, {1, 1}, {3, 2}, {5, 7}, {0, 9}, {9, 0}, {641, 479}, {1920, 1080}, {1, 4000}};
    for (const CvSize& size : sizes)
        for (int depth : kDepths)
            for (int channels = 0; channels <= 5; ++channels) {
                SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " depth " << depth
                                                << " channels " << channels);
                HeaderPair pair({size.width, size.height, depth, channels});
                ASSERT_NE(pair.standin, nullptr);
                EXPECT_EQ(pair.standin->nSize, int(sizeof(IplImage)));
                EXPECT_EQ(pair.standin->widthStep, pair.library->widthStep);
                EXPECT_EQ(pair.standin->imageSize, pair.library->imageSize);
                EXPECT_EQ(pair.standin->nChannels, pair.library->nChannels);
                EXPECT_EQ(std::memcmp(pair.standin->colorModel, pair.library->colorModel, 4), 0);
                EXPECT_EQ(std::memcmp(pair.standin->channelSeq, pair.library->channelSeq, 4), 0);
                // Every other field, and the padding, byte for byte.
                EXPECT_EQ(std::memcmp(pair.standin, pair.library, sizeof(IplImage)), 0);
            }
}

TEST(ImageHeader, RefusesWhatTheLibraryRefuses)
{
    const Geometry refused[] = {
        {-1, 10, IPL_DEPTH_8U, 3},      // negative width
        {10, -1, IPL_DEPTH_8U, 3},      // negative height (a top-down frame)
        {10, 10, 0, 3},                 // no depth
        {10, 10, 12, 3},                // unknown depth
        {10, 10, IPL_DEPTH_8U, -1},     // negative channel count
        {100000, 100000, IPL_DEPTH_8U, 3}, // image size beyond the record's int
    };
    for (const Geometry& g : refused) {
        SCOPED_TRACE(testing::Message() << g.width << "x" << g.height << " depth " << g.depth << " channels "
                                        << g.channels);
        {
            [[maybe_unused]] LibraryLeaksOnRefusal leaks;
            EXPECT_ANY_THROW(cvCreateImageHeader(cvSize(g.width, g.height), g.depth, g.channels));
        }
        EXPECT_ANY_THROW(standin_cvCreateImageHeader(cvSize(g.width, g.height), g.depth, g.channels));
    }
}

TEST(ImageHeader, ReleaseNullsThePointerAndRefusesNoPointer)
{
    IplImage* header = standin_cvCreateImageHeader(cvSize(4, 4), IPL_DEPTH_8U, 3);
    standin_cvReleaseImageHeader(&header);
    EXPECT_EQ(header, nullptr);
    EXPECT_NO_THROW(standin_cvReleaseImageHeader(&header));
    EXPECT_ANY_THROW(cvReleaseImageHeader(nullptr));
    EXPECT_ANY_THROW(standin_cvReleaseImageHeader(nullptr));
}

std::vector<unsigned char> numbered(size_t bytes)
{
    std::vector<unsigned char> pixels(bytes);
    for (size_t i = 0; i < bytes; ++i)
        pixels[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return pixels;
}

TEST(ImageHeader, InPlaceRowFlipMatchesTheLibraryPaddingIncluded)
{
    const Geometry geometries[] = {
        {64, 48, IPL_DEPTH_8U, 3}, {5, 7, IPL_DEPTH_8U, 3}, {6, 1, IPL_DEPTH_8U, 3}, {7, 2, IPL_DEPTH_8U, 1},
        {3, 5, IPL_DEPTH_8U, 4},   {5, 4, IPL_DEPTH_16U, 3}, {3, 3, IPL_DEPTH_32F, 1}, {641, 479, IPL_DEPTH_8U, 3},
    };
    for (const Geometry& g : geometries) {
        SCOPED_TRACE(testing::Message() << g.width << "x" << g.height << " depth " << g.depth << " channels "
                                        << g.channels);
        HeaderPair pair(g);
        std::vector<unsigned char> expected = numbered(size_t(pair.library->imageSize));
        std::vector<unsigned char> actual = expected;
        const std::vector<unsigned char> original = expected;
        pair.library->imageData = reinterpret_cast<char*>(expected.data());
        pair.standin->imageData = reinterpret_cast<char*>(actual.data());
        cvFlip(pair.library, nullptr, 0);
        standin_cvFlip(pair.standin, nullptr, 0);
        EXPECT_EQ(actual, expected);
        if (g.height > 1) {
            EXPECT_NE(actual, original) << "the rows were not turned";
        }
        // Twice is the identity.
        standin_cvFlip(pair.standin, nullptr, 0);
        EXPECT_EQ(actual, original);
    }
}

TEST(ImageHeader, FlipIntoAnotherImageMatchesTheLibrary)
{
    HeaderPair source({9, 5, IPL_DEPTH_8U, 3});
    HeaderPair target({9, 5, IPL_DEPTH_8U, 3});
    std::vector<unsigned char> pixels = numbered(size_t(source.library->imageSize));
    std::vector<unsigned char> expected(pixels.size(), 0xEE);
    std::vector<unsigned char> actual(pixels.size(), 0xEE);
    source.library->imageData = source.standin->imageData = reinterpret_cast<char*>(pixels.data());
    target.library->imageData = reinterpret_cast<char*>(expected.data());
    target.standin->imageData = reinterpret_cast<char*>(actual.data());
    cvFlip(source.library, target.library, 0);
    standin_cvFlip(source.standin, target.standin, 0);
    EXPECT_EQ(actual, expected);
}

TEST(ImageHeader, FlipRefusesAHeaderWithoutPixelsOrOfAnotherKindOrSize)
{
    HeaderPair pair({8, 8, IPL_DEPTH_8U, 3});
    EXPECT_ANY_THROW(cvFlip(pair.library, nullptr, 0));
    EXPECT_ANY_THROW(standin_cvFlip(pair.standin, nullptr, 0));
    EXPECT_NO_THROW(cvFlip(nullptr, nullptr, 0));
    EXPECT_NO_THROW(standin_cvFlip(nullptr, nullptr, 0));

    std::vector<unsigned char> pixels = numbered(size_t(pair.library->imageSize));
    pair.library->imageData = pair.standin->imageData = reinterpret_cast<char*>(pixels.data());
    pair.library->nSize = pair.standin->nSize = 0;
    const std::vector<unsigned char> original = pixels;
    EXPECT_ANY_THROW(cvFlip(pair.library, nullptr, 0));
    EXPECT_ANY_THROW(standin_cvFlip(pair.standin, nullptr, 0));
    EXPECT_EQ(pixels, original);
    pair.library->nSize = pair.standin->nSize = int(sizeof(IplImage));

    HeaderPair other({8, 9, IPL_DEPTH_8U, 3});
    std::vector<unsigned char> otherPixels = numbered(size_t(other.library->imageSize));
    other.library->imageData = other.standin->imageData = reinterpret_cast<char*>(otherPixels.data());
    EXPECT_ANY_THROW(cvFlip(pair.library, other.library, 0));
    EXPECT_ANY_THROW(standin_cvFlip(pair.standin, other.standin, 0));
}

} // namespace
