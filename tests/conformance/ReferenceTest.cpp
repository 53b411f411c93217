// The in-process reference against the ffmpeg command line itself: the same
// bytes on every corpus file, so that the conformance cases compare the
// component with what FFmpeg really gives.
#include "tests/conformance/Corpus.h"
#include "tests/support/ReferenceFrame.h"
#include "tests/support/ToolRunner.h"

#include <gtest/gtest.h>

#include <stdexcept>

using conformance::CorpusCase;
using conformance::Expect;

namespace {

std::string commandLineFirstFrame(const std::string& file)
{
    return testmedia::runTool({"ffmpeg", "-v", "error", "-nostdin", "-noautorotate", "-i", file, "-frames:v", "1",
                               "-f", "rawvideo", "-pix_fmt", "bgr24", "-"},
                              true);
}

class ReferenceFrame : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(ReferenceFrame, EqualsCommandLine)
{
    const CorpusCase& item = GetParam();
    const std::string file = conformance::corpusFile(item);

    if (item.expect == Expect::NoFrame) {
        EXPECT_THROW(testmedia::ffmpegFirstFrame(file), std::runtime_error);
        std::string bytes;
        try {
            bytes = commandLineFirstFrame(file);
        } catch (const std::runtime_error&) {
            // the command line failing outright is no frame too
        }
        EXPECT_TRUE(bytes.empty()) << "the command line wrote " << bytes.size() << " bytes";
        return;
    }

    const testmedia::Frame reference = testmedia::ffmpegFirstFrame(file);
    const std::string bytes = commandLineFirstFrame(file);
    ASSERT_EQ(bytes.size(), reference.pixels.size())
        << "reference " << reference.width << "x" << reference.height << " against " << bytes.size() << " bytes";
    for (size_t i = 0; i < bytes.size(); ++i)
        if (static_cast<uint8_t>(bytes[i]) != reference.pixels[i]) {
            const size_t pixel = i / 3;
            FAIL() << "first differing byte " << i << " (pixel " << pixel % reference.width << ", "
                   << pixel / reference.width << "): command line " << int(static_cast<uint8_t>(bytes[i]))
                   << ", reference " << int(reference.pixels[i]);
        }
}

INSTANTIATE_TEST_SUITE_P(Corpus, ReferenceFrame, ::testing::ValuesIn(conformance::corpus()),
                         [](const ::testing::TestParamInfo<CorpusCase>& info) { return info.param.name; });

} // namespace
