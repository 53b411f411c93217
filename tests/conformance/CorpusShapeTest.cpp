// The corpus files are what their cases say they are: a recipe that quietly
// made a clean file would leave its case testing nothing.
#include "tests/conformance/Corpus.h"
#include "tests/support/ReferenceFrame.h"
#include "tests/support/ToolRunner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

std::string fileOf(const std::string& name)
{
    return conformance::corpusFile(conformance::corpusCase(name));
}

// One line per packet of the first video stream: the ffprobe entries asked for.
std::vector<std::string> probePackets(const std::string& file, const std::string& entries)
{
    std::istringstream lines(testmedia::runTool(
        {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=" + entries, "-of", "csv=p=0", file},
        true));
    std::vector<std::string> out;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            out.push_back(line);
    return out;
}

std::vector<uint8_t> bytesOf(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct BitmapHeader {
    int32_t height;
    uint32_t compression;
    uint32_t size;
    std::vector<uint32_t> extra; // the DWORDs after the 40-byte header
};

BitmapHeader bitmapHeaderOf(const std::string& file)
{
    std::vector<uint8_t> b = bytesOf(file);
    for (size_t i = 0; i + 8 + 40 <= b.size(); ++i)
        if (std::memcmp(&b[i], "strf", 4) == 0) {
            auto le32 = [&](size_t at) {
                return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
            };
            BitmapHeader h{static_cast<int32_t>(le32(i + 16)), le32(i + 24), le32(i + 4), {}};
            for (size_t at = i + 8 + 40; at + 4 <= i + 8 + h.size && at + 4 <= b.size(); at += 4)
                h.extra.push_back(le32(at));
            return h;
        }
    ADD_FAILURE() << "no strf chunk in " << file;
    return {};
}

TEST(CorpusShape, BottomUpAvisKeepThePictureOfTheirTopDownTwins)
{
    const std::pair<const char*, const char*> twins[] = {{"raw_bottomup_bgr24_avi", "raw_bgr24_avi"},
                                                         {"raw_bottomup_bgr24_odd_avi", "raw_bgr24_33x17_avi"},
                                                         {"raw_bottomup_pal8_avi", "raw_pal8_avi"},
                                                         {"raw_bottomup_rgb555_avi", "raw_rgb555_avi"},
                                                         {"raw_bottomup_bgra_avi", "raw_bgra_avi"}};
    for (const auto& [bottomUp, topDown] : twins) {
        SCOPED_TRACE(bottomUp);
        EXPECT_GT(bitmapHeaderOf(fileOf(bottomUp)).height, 0);
        EXPECT_LT(bitmapHeaderOf(fileOf(topDown)).height, 0);
        EXPECT_TRUE(testmedia::ffmpegFirstFrame(fileOf(bottomUp)).pixels ==
                    testmedia::ffmpegFirstFrame(fileOf(topDown)).pixels);
    }
}

TEST(CorpusShape, Rgb565AviCarriesBitfieldMasks)
{
    BitmapHeader h = bitmapHeaderOf(fileOf("raw_bottomup_rgb565_avi"));
    EXPECT_GT(h.height, 0);
    EXPECT_EQ(h.compression, 3u);
    EXPECT_EQ(h.extra, (std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}));
}

TEST(CorpusShape, CutsStartBetweenKeyFrames)
{
    // MP4 and MOV cuts keep the packets from the key frame on, flagged to be discarded.
    for (const char* name : {"h264_mp4_cut_midgop", "h264_mov_cut_midgop", "h264_mp4_trimmed"}) {
        SCOPED_TRACE(name);
        std::vector<std::string> flags = probePackets(fileOf(name), "flags");
        ASSERT_GE(flags.size(), 2u);
        EXPECT_NE(flags[0].find('K'), std::string::npos);
        EXPECT_NE(flags[0].find('D'), std::string::npos);
    }
    // Transport streams cut at a packet boundary start inside a GOP.
    for (const char* name : {"h264_ts_cut_nobframes", "h264_ts_cut_bframes", "h264_ts_cut_opengop",
                             "hevc_ts_cut_closedgop", "hevc_ts_cut_opengop", "mpeg2_ts_cut", "h264_ts_late_keyframe"}) {
        SCOPED_TRACE(name);
        const std::string file = fileOf(name);
        EXPECT_EQ(std::filesystem::file_size(file) % 188, 0u);
        std::vector<std::string> flags = probePackets(file, "flags");
        ASSERT_FALSE(flags.empty());
        EXPECT_EQ(flags[0].find('K'), std::string::npos) << "starts on a key frame";
    }
    // The late one's first key frame comes more than a second in.
    std::vector<std::string> late = probePackets(fileOf("h264_ts_late_keyframe"), "flags");
    size_t firstKey = 0;
    while (firstKey < late.size() && late[firstKey].find('K') == std::string::npos)
        ++firstKey;
    EXPECT_GT(firstKey, 25u);
    EXPECT_LT(firstKey, late.size());
}

TEST(CorpusShape, AudioFirstFilesStartTheirVideoLate)
{
    for (const char* name : {"h264_mp4_audio_first", "h264_mkv_audio_first", "h264_ts_audio_first"}) {
        SCOPED_TRACE(name);
        std::istringstream lines(testmedia::runTool({"ffprobe", "-v", "error", "-show_entries",
                                                     "stream=index,codec_type,start_time", "-of", "csv=p=0",
                                                     fileOf(name)},
                                                    true));
        std::vector<std::pair<std::string, double>> streams;
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string index, type, start;
            if (std::getline(fields, index, ',') && std::getline(fields, type, ',') && std::getline(fields, start, ','))
                streams.emplace_back(type, std::stod(start));
        }
        ASSERT_GE(streams.size(), 2u);
        EXPECT_EQ(streams[0].first, "audio");
        EXPECT_EQ(streams[1].first, "video");
        EXPECT_GT(streams[1].second, streams[0].second + 0.3);
    }
}

} // namespace
