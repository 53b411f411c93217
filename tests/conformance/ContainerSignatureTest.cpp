// The demuxer the pipeline takes from a file's first bytes, without probing,
// is the one FFmpeg's probe chooses for that file; anything less certain is
// left to the probe.
#include "platform/linux/media/ContainerSignatures.h"
#include "tests/conformance/Corpus.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using comrt::media::demuxerBySignature;
using comrt::media::kSignatureBytes;

std::vector<uint8_t> headOf(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> head(kSignatureBytes);
    in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    head.resize(size_t(in.gcount()));
    return head;
}

// FFmpeg's probe, as the pipeline ran it before it knew any signature.
const AVInputFormat* probed(const std::string& file)
{
    AVIOContext* io = nullptr;
    if (avio_open(&io, file.c_str(), AVIO_FLAG_READ) < 0)
        return nullptr;
    const AVInputFormat* fmt = nullptr;
    if (av_probe_input_buffer2(io, &fmt, file.c_str(), nullptr, 0, 0) < 0)
        fmt = nullptr;
    avio_closep(&io);
    return fmt;
}

const AVInputFormat* told(const std::string& bytes)
{
    return demuxerBySignature(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(ContainerSignature, TellsTheDemuxerFfmpegsProbeChoosesForEveryCorpusFile)
{
    int toldCount = 0;
    for (const conformance::CorpusCase& item : conformance::corpus()) {
        if (item.file.find('%') != std::string::npos)
            continue; // numbered images, opened by name
        const std::string file = conformance::corpusFile(item);
        std::vector<uint8_t> head = headOf(file);
        const AVInputFormat* fmt = demuxerBySignature(head.data(), head.size());
        const std::string ext = std::filesystem::path(file).extension().string();
        const bool common = ext == ".mp4" || ext == ".mov" || ext == ".avi" || ext == ".mkv" || ext == ".webm";
        if (common) {
            EXPECT_NE(fmt, nullptr) << item.name << ": a common container left to the probe";
        }
        if (!fmt)
            continue;
        ++toldCount;
        const AVInputFormat* expected = probed(file);
        ASSERT_NE(expected, nullptr) << item.name;
        EXPECT_STREQ(fmt->name, expected->name) << item.name;
    }
    EXPECT_GT(toldCount, 40);
}

TEST(ContainerSignature, LeavesWhatIsNotCertainToTheProbe)
{
    using namespace std::string_literals;
    // File-type boxes of image formats, which other demuxers take.
    EXPECT_EQ(told("\0\0\0\x0C" "ftyp" "jp2 "s), nullptr);
    EXPECT_EQ(told("\0\0\0\x1C" "ftyp" "avif" "\0\0\0\0" "avifmif1"s), nullptr);
    EXPECT_NE(told("\0\0\0\x1C" "ftyp" "isom" "\0\0\x02\0" "isomiso2"s), nullptr);
    EXPECT_EQ(told("\0\0\0\x0C" "ftyp" "is"s), nullptr); // cut short
    // RIFF forms other than AVI.
    EXPECT_EQ(told("RIFF\x24\0\0\0" "WAVEfmt "s), nullptr);
    EXPECT_NE(told("RIFF\x24\0\0\0" "AVI LIST"s), nullptr);
    // EBML: another document type; a header longer than the bytes given; a
    // length with no marker bit.
    const std::string ebml = "\x1A\x45\xDF\xA3"s;
    EXPECT_NE(told(ebml + "\x8B" "\x42\x82\x88" "matroska"s), nullptr);
    EXPECT_NE(told(ebml + "\x87" "\x42\x82\x84" "webm"s), nullptr);
    EXPECT_EQ(told(ebml + "\x8B" "\x42\x82\x88" "notmkvxx"s), nullptr);
    EXPECT_EQ(told(ebml + "\x40\x50" "\x42\x82\x88" "matroska"s), nullptr);
    EXPECT_EQ(told(ebml + "\0\0\0\0\0\0\0\0\0"s), nullptr);
    EXPECT_EQ(told(""), nullptr);
}

} // namespace
