// The capture session's first frame of every corpus file against FFmpeg's own
// first frame of that file, with and without the flip.
#include "tests/capture/CaptureTestSupport.h"
#include "tests/conformance/Corpus.h"
#include "tests/conformance/Watchdog.h"
#include "tests/support/ReferenceFrame.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace capturetest;
using conformance::CorpusCase;
using conformance::Expect;

namespace {

// Where two frames of one size first differ, for the failure message.
std::string firstDifference(const testmedia::Frame& got, const testmedia::Frame& expected)
{
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x) {
            testmedia::Bgr g = got.at(x, y), e = expected.at(x, y);
            if (!(g == e)) {
                std::ostringstream text;
                text << "first difference at (" << x << ", " << y << "): got BGR " << int(g.b) << "," << int(g.g)
                     << "," << int(g.r) << ", FFmpeg " << int(e.b) << "," << int(e.g) << "," << int(e.r);
                return text.str();
            }
        }
    return "no differing pixel";
}

class FirstFrame : public ::testing::TestWithParam<CorpusCase> {
protected:
    BoxRecorder boxes;
};

TEST_P(FirstFrame, MatchesFfmpeg)
{
    const CorpusCase& item = GetParam();
    const std::string file = conformance::corpusFile(item);
    // A hanging pipeline must fail this case, not stall the run.
    conformance::Watchdog watchdog(item.name, 30);

    if (item.expect == Expect::NoFrame) {
        EXPECT_THROW(testmedia::ffmpegFirstFrame(file), std::runtime_error) << "FFmpeg finds a frame in " << file;
        for (VARIANT_BOOL flip : {VARIANT_BOOL(0), VARIANT_BOOL(-1)}) {
            SCOPED_TRACE(flip ? "flip" : "no flip");
            Session session;
            if (!session.create(file, flip))
                continue; // refused at once: a clean failure
            session.startCapture();
            MORImageStruct image{};
            session.Grab(&image);
            EXPECT_EQ(image.data, nullptr) << "a frame was delivered for " << file;
        }
        return;
    }

    const testmedia::Frame expected = testmedia::ffmpegFirstFrame(file);
    for (VARIANT_BOOL flip : {VARIANT_BOOL(0), VARIANT_BOOL(-1)}) {
        SCOPED_TRACE(flip ? "flip" : "no flip");
        Session session;
        HRESULT hr = E_FAIL;
        ASSERT_NE(session.create(file, flip, &hr), 0) << "refused: createCapture answered 0 (hr 0x" << std::hex << hr
                                                      << ") for " << file;
        ASSERT_EQ(session.startCapture(), S_OK);
        MORImageStruct image{};
        ASSERT_EQ(session.Grab(&image), S_OK);
        ASSERT_NE(image.data, nullptr) << "no frame delivered for " << file;
        ASSERT_EQ(image.depth, 8);
        ASSERT_EQ(image.channels, 3);
        ASSERT_TRUE(image.width == expected.width && image.height == expected.height)
            << "wrong size: " << image.width << "x" << image.height << ", FFmpeg's frame is " << expected.width << "x"
            << expected.height;

        const testmedia::Frame got = testmedia::frameFromBuffer(image.data, image.width, image.height, flip == 0);
        const double mean = testmedia::meanAbsDifference(got, expected);
        std::printf("[  MEAN    ] %s %s %.4f\n", item.name.c_str(), flip ? "flip" : "noflip", mean);
        EXPECT_LE(mean, 1.0) << "mean absolute difference " << mean << " per byte; " << firstDifference(got, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, FirstFrame, ::testing::ValuesIn(conformance::corpus()),
                         [](const ::testing::TestParamInfo<CorpusCase>& info) { return info.param.name; });

} // namespace
