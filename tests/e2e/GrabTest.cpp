// A second process creates the registered class and grabs a frame through morven-grab.
#include "tests/e2e/E2eTest.h"
#include "tests/e2e/FrameFiles.h"

#include <filesystem>

namespace e2e {
namespace {

using E2eGrab = E2eTest;

bool exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

TEST_F(E2eGrab, WritesTheFirstFrameUprightInTrueColoursWhateverTheFlip)
{
    E2E_REGISTER(registration);
    for (const bool flip : {false, true}) {
        SCOPED_TRACE(flip ? "--flip" : "no flip");
        std::vector<std::string> args{media().pattern, "-o", scratch("frame.png"), "--raw", scratch("frame.bgr")};
        if (flip)
            args.push_back("--flip");
        const ProcessResult result = grab(args);
        ASSERT_EQ(result.exitCode, 0) << result.text();
        EXPECT_NE(result.out.find("37x23, 3 channels of 8 bits, row pitch 112 bytes"), std::string::npos) << result.out;
        for (const char* step : {"create object", "createCapture", "startCapture", "Grab", "write", "destroyCapture"})
            EXPECT_NE(result.out.find("  " + std::string(step) + " "), std::string::npos) << step << "\n" << result.out;

        const std::optional<testmedia::Frame> image = readImage(scratch("frame.png"));
        ASSERT_TRUE(image) << "frame.png unreadable";
        ASSERT_EQ(image->width, 37);
        ASSERT_EQ(image->height, 23);
        EXPECT_EQ(compareWithPattern(*image), "");

        // The buffer itself: bottom row first unless the flip was asked for.
        const std::optional<testmedia::Frame> raw = readRawFrame(scratch("frame.bgr"), 37, 23, flip);
        ASSERT_TRUE(raw) << "frame.bgr is not 23 rows of 112 bytes";
        EXPECT_EQ(compareWithPattern(*raw), "");
    }
}

TEST_F(E2eGrab, RawBufferMatchesFfmpegsOwnFirstFrame)
{
    E2E_REGISTER(registration);
    const testmedia::Frame expected = testmedia::expectedFirstFrame(media().h264);
    for (const bool flip : {false, true}) {
        SCOPED_TRACE(flip ? "--flip" : "no flip");
        std::vector<std::string> args{media().h264, "-o", scratch("frame.bmp"), "--raw", scratch("frame.bgr")};
        if (flip)
            args.push_back("--flip");
        const ProcessResult result = grab(args);
        ASSERT_EQ(result.exitCode, 0) << result.text();

        const std::optional<testmedia::Frame> raw = readRawFrame(scratch("frame.bgr"), 66, 50, flip);
        ASSERT_TRUE(raw) << "frame.bgr is not 50 rows of 200 bytes";
        EXPECT_LT(meanDifference(*raw, expected), 2.0);
        const std::optional<testmedia::Frame> image = readImage(scratch("frame.bmp"));
        ASSERT_TRUE(image) << "frame.bmp unreadable";
        EXPECT_LT(meanDifference(*image, expected), 2.0);
    }
}

TEST_F(E2eGrab, CompressedImagesHoldTheFrameTheComponentDelivered)
{
    E2E_REGISTER(registration);
    // PNG exactly, JPEG within its ordinary loss; both against the buffer Grab handed out,
    // both read back by FFmpeg (OpenCV's JPEG reader upsamples chroma more coarsely).
    const std::pair<const char*, double> formats[] = {{"frame.png", 0.0}, {"frame.jpg", 3.0}, {"frame.jpeg", 3.0}};
    for (const bool flip : {false, true})
        for (const auto& [name, tolerance] : formats) {
            SCOPED_TRACE(std::string(name) + (flip ? ", --flip" : ", no flip"));
            std::vector<std::string> args{media().h264, "-o", scratch(name), "--raw", scratch("frame.bgr")};
            if (flip)
                args.push_back("--flip");
            const ProcessResult result = grab(args);
            ASSERT_EQ(result.exitCode, 0) << result.text();
            const std::optional<testmedia::Frame> raw = readRawFrame(scratch("frame.bgr"), 66, 50, flip);
            ASSERT_TRUE(raw) << "frame.bgr is not 50 rows of 200 bytes";
            const testmedia::Frame image = testmedia::expectedFirstFrame(scratch(name));
            EXPECT_LE(meanDifference(image, *raw), tolerance);
        }
}

TEST_F(E2eGrab, ImageFormatFollowsTheExtension)
{
    E2E_REGISTER(registration);
    const std::pair<const char*, std::string> formats[] = {
        {"frame.png", "\x89PNG"}, {"frame.bmp", "BM"}, {"frame.ppm", "P6"}, {"frame.JPG", "\xFF\xD8\xFF"}};
    for (const auto& [name, magic] : formats) {
        SCOPED_TRACE(name);
        const ProcessResult result = grab({media().pattern, "-o", scratch(name)});
        ASSERT_EQ(result.exitCode, 0) << result.text();
        EXPECT_EQ(fileStart(scratch(name), magic.size()), magic);
        const std::optional<testmedia::Frame> image = readImage(scratch(name));
        ASSERT_TRUE(image);
        if (magic[0] != '\xFF') {
            EXPECT_EQ(compareWithPattern(*image), "");
        }
    }

    // Without -o: the video's name with .png, in the current directory.
    const std::string cwd = scratch("here");
    std::filesystem::create_directory(cwd);
    const ProcessResult result = grab({media().pattern}, cwd);
    ASSERT_EQ(result.exitCode, 0) << result.text();
    const std::string expectedName = std::filesystem::path(media().pattern).stem().string() + ".png";
    EXPECT_TRUE(exists(cwd + "/" + expectedName)) << result.out;
}

TEST_F(E2eGrab, VideoAndImageUnderNonAsciiPaths)
{
    E2E_REGISTER(registration);
    const std::string video = testmedia::placeUnderNonAsciiPath(media().pattern, scratchDir());
    const std::string image = scratch("первый кадр 帧.png");
    const ProcessResult result = grab({video, "-o", image});
    ASSERT_EQ(result.exitCode, 0) << result.text();
    const std::optional<testmedia::Frame> frame = readImage(image);
    ASSERT_TRUE(frame) << image << " unreadable";
    EXPECT_EQ(compareWithPattern(*frame), "");
}

TEST_F(E2eGrab, ClassNotRegisteredIsOneClearError)
{
    const ProcessResult result = grab({media().pattern, "-o", scratch("frame.png")});
    EXPECT_EQ(result.exitCode, 2) << result.text();
    EXPECT_NE(result.err.find("MORVEN.CMORVENProc is not registered"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("regsvr"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(exists(scratch("frame.png")));
}

TEST_F(E2eGrab, VideoThatCannotBeOpenedIsReportedAndNothingWritten)
{
    E2E_REGISTER(registration);
    const std::string missing = scratch("no-such-video.mp4");
    const ProcessResult result = grab({missing, "-o", scratch("frame.png")});
    EXPECT_EQ(result.exitCode, 3) << result.text();
    EXPECT_NE(result.err.find("morven-grab: cannot open " + missing), std::string::npos) << result.err;
    EXPECT_FALSE(exists(scratch("frame.png")));

    // A file with no video stream fails the same way.
    const std::string audio = testmedia::makeAudioOnly(scratchDir());
    const ProcessResult audioResult = grab({audio, "-o", scratch("frame.png")});
    EXPECT_EQ(audioResult.exitCode, 3) << audioResult.text();
    EXPECT_FALSE(exists(scratch("frame.png")));
}

TEST_F(E2eGrab, RegisteredModuleThatIsGoneCannotBeCreated)
{
    const std::string copy = scratch("MORVEN.ocx");
    std::filesystem::copy_file(binPath("MORVEN.ocx"), copy);
    const ProcessResult registered = regsvr({copy});
    ASSERT_EQ(registered.exitCode, 0) << registered.text();
    std::filesystem::remove(copy);

    const ProcessResult result = grab({media().pattern, "-o", scratch("frame.png")});
    EXPECT_EQ(result.exitCode, 2) << result.text();
    EXPECT_NE(result.err.find("cannot create MORVEN.CMORVENProc"), std::string::npos) << result.err;
    EXPECT_FALSE(exists(scratch("frame.png")));
}

} // namespace
} // namespace e2e
