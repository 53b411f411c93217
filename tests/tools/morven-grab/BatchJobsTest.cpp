// What a batch makes of its inputs: which files, in what order, and which image
// each one writes, so that no image replaces another or one of the inputs.
#include "tools/morven-grab/BatchJobs.h"
#include "tools/morven-grab/WorkerChannel.h"

#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace grab {
namespace {

namespace fs = std::filesystem;

class BatchJobs : public ::testing::Test {
protected:
    testmedia::TempDir dir{"morven-batch-jobs"};

    std::string path(const std::string& relative) const { return (fs::path(dir.path()) / relative).string(); }

    std::string touch(const std::string& relative)
    {
        const fs::path file = path(relative);
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "x";
        return file.string();
    }

    std::vector<BatchJob> plan(const std::vector<std::string>& inputs, const std::string& out,
                               const std::vector<std::string>& list = {}, const std::string& extension = ".png")
    {
        return planBatch(inputs, [&] { return list; }, out, extension);
    }
};

std::vector<std::string> inputsOf(const std::vector<BatchJob>& jobs)
{
    std::vector<std::string> inputs;
    for (const BatchJob& job : jobs)
        inputs.push_back(job.input);
    return inputs;
}

TEST_F(BatchJobs, FolderGivesItsFilesInNameOrderUnderTheSameSubFolders)
{
    touch("in/b.mp4");
    touch("in/a.avi");
    touch("in/sub/c.mkv");
    touch("in/.hidden.mp4");
    touch("in/.cache/d.mp4");
    fs::create_directories(path("in/empty"));
    fs::create_symlink(path("in/nowhere.mp4"), path("in/broken.mp4"));
    fs::create_directory_symlink(path("in"), path("in/loop"));

    const std::vector<BatchJob> jobs = plan({path("in")}, path("out"));
    ASSERT_EQ(inputsOf(jobs), (std::vector<std::string>{path("in/a.avi"), path("in/b.mp4"), path("in/broken.mp4"),
                                                        path("in/sub/c.mkv")}));
    EXPECT_EQ(jobs[0].output, path("out/a.png"));
    EXPECT_EQ(jobs[1].output, path("out/b.png"));
    EXPECT_EQ(jobs[3].output, path("out/sub/c.png"));
    EXPECT_EQ(jobs[0].problem, "");
    EXPECT_NE(jobs[2].problem, "") << "a link to nothing is a file that fails, not one left out";
}

TEST_F(BatchJobs, OutputFolderInsideTheInputIsNotWalked)
{
    touch("in/a.mp4");
    touch("in/frames/a.png");
    const std::vector<BatchJob> jobs = plan({path("in")}, path("in/frames"));
    ASSERT_EQ(inputsOf(jobs), std::vector<std::string>{path("in/a.mp4")});
    EXPECT_EQ(jobs[0].output, path("in/frames/a.png"));
}

TEST_F(BatchJobs, ArgumentsAndListKeepTheirOrderFileMetTwiceIsDoneOnce)
{
    const std::string a = touch("x/a.mp4"), b = touch("y/b.mp4"), c = touch("c.webm");
    const std::vector<BatchJob> jobs = plan({b, "-", a, "-"}, path("out"), {c, a, path("x/../y/b.mp4")});
    EXPECT_EQ(inputsOf(jobs), (std::vector<std::string>{b, c, a}));
    EXPECT_EQ(jobs[0].output, path("out/b.png"));
    EXPECT_EQ(jobs[1].output, path("out/c.png"));
}

TEST_F(BatchJobs, MissingInputIsAJobThatFailsWithoutAWorker)
{
    const std::vector<BatchJob> jobs = plan({path("gone.mp4")}, path("out"));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].problem, "no such file or folder");
}

TEST_F(BatchJobs, ImagesThatWouldMeetKeepTheWholeFileName)
{
    const std::string mp4 = touch("in/clip.mp4"), avi = touch("in/clip.avi"), other = touch("in/other.mp4");
    const std::string flatA = touch("p/same.mp4"), flatB = touch("q/same.mp4"), flatC = touch("r/same.mp4");
    const std::vector<BatchJob> jobs = plan({path("in"), flatA, flatB, flatC}, path("out"));
    ASSERT_EQ(inputsOf(jobs), (std::vector<std::string>{avi, mp4, other, flatA, flatB, flatC}));
    EXPECT_EQ(jobs[0].output, path("out/clip.avi.png"));
    EXPECT_EQ(jobs[1].output, path("out/clip.mp4.png"));
    EXPECT_EQ(jobs[2].output, path("out/other.png"));
    EXPECT_EQ(jobs[3].output, path("out/same.mp4.png"));
    EXPECT_EQ(jobs[4].output, path("out/same.mp4-2.png"));
    EXPECT_EQ(jobs[5].output, path("out/same.mp4-3.png"));
}

TEST_F(BatchJobs, NoImageReplacesAnInput)
{
    // Images written beside the inputs: a still image in the format asked for, and a
    // video whose image would take that still image's name.
    const std::string still = touch("in/poster.jpg"), video = touch("in/poster.mp4"), jpeg = touch("in/shot.JPEG");
    const std::vector<BatchJob> jobs = plan({path("in")}, path("in"), {}, ".jpg");
    ASSERT_EQ(inputsOf(jobs), (std::vector<std::string>{still, video, jpeg}));
    EXPECT_EQ(jobs[0].output, path("in/poster.jpg.jpg"));
    EXPECT_EQ(jobs[1].output, path("in/poster.mp4.jpg"));
    EXPECT_EQ(jobs[2].output, path("in/shot.JPEG.jpg"));
}

TEST(BatchPathList, LinesOrNulSeparatedEntries)
{
    std::istringstream lines("a.mp4\r\n\nb c.mp4\nlast.mp4");
    EXPECT_EQ(readPathList(lines, false), (std::vector<std::string>{"a.mp4", "b c.mp4", "last.mp4"}));
    std::istringstream nul(std::string("with\nnewline.mp4\0\0plain.mp4\0", 28));
    EXPECT_EQ(readPathList(nul, true), (std::vector<std::string>{"with\nnewline.mp4", "plain.mp4"}));
}

TEST(BatchWorkerChannel, RecordsArriveInPiecesAndStayWhole)
{
    const std::string bytes = encodeRecord({"in/é.mp4", "out/x.png"}) + encodeRecord({"", "second"});
    RecordBuffer buffer;
    std::vector<std::string> fields;
    for (char c : bytes.substr(0, bytes.size() - 1)) {
        buffer.append(&c, 1);
        if (buffer.next(2, fields)) {
            EXPECT_EQ(fields, (std::vector<std::string>{"in/é.mp4", "out/x.png"}));
        }
    }
    EXPECT_FALSE(buffer.next(2, fields)) << "the last field is not ended yet";
    buffer.append("", 1);
    ASSERT_TRUE(buffer.next(2, fields));
    EXPECT_EQ(fields, (std::vector<std::string>{"", "second"}));
    EXPECT_TRUE(buffer.empty());

    EXPECT_EQ(partialImagePath("out/sub/a.mp4.png", 42), "out/sub/.a.mp4.png.42.png");
    EXPECT_EQ(partialImagePath("a.jpg", 7), ".a.jpg.7.jpg");
}

} // namespace
} // namespace grab
