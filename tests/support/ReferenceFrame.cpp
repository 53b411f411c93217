// The steps below follow ffmpeg 5.1's command-line tool (fftools/ffmpeg.c,
// ffmpeg_opt.c, ffmpeg_filter.c) for one input file, one video output and
// the rawvideo muxer: the same stream choice, decoder options, timestamp
// corrections and frame-rate sync, because each of them can change which
// frame comes out first. Only the video path of that tool is kept.
#include "tests/support/ReferenceFrame.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace testmedia {

namespace {

constexpr int64_t kNoPts = AV_NOPTS_VALUE;
// The tool's -dts_delta_threshold and -dts_error_threshold defaults, floats as there.
const float kDtsDeltaThreshold = 10;
const float kDtsErrorThreshold = 3600 * 30;

std::string errorText(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

// The tool's default video stream when no -map is given: the largest picture,
// with bonuses for a stream that delivered packets while probing and for a
// default stream (the latter taken back for the winner). For the rawvideo
// muxer avformat_query_codec answers 1, so attached pictures score 1.
int chooseVideoStream(const AVFormatContext* ic)
{
    int bestScore = 0;
    int bestIndex = -1;
    const AVStream* last = nullptr;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream* st = ic->streams[i];
        last = st;
        int score = st->codecpar->width * st->codecpar->height +
                    100000000 * !!(st->event_flags & AVSTREAM_EVENT_FLAG_NEW_PACKETS) +
                    5000000 * !!(st->disposition & AV_DISPOSITION_DEFAULT);
        if (st->disposition & AV_DISPOSITION_ATTACHED_PIC)
            score = 1;
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && score > bestScore) {
            bestScore = score;
            bestIndex = static_cast<int>(i);
        }
    }
    if (bestIndex < 0)
        return -1;
    // The tool tests the last stream it looked at here, not the winner.
    if (!(last->disposition & AV_DISPOSITION_ATTACHED_PIC))
        bestScore -= 5000000 * !!(ic->streams[bestIndex]->disposition & AV_DISPOSITION_DEFAULT);
    return bestScore > 0 ? bestIndex : -1;
}

// The tool's get_format: the first software format the decoder offers.
AVPixelFormat firstSoftwareFormat(AVCodecContext*, const AVPixelFormat* formats)
{
    const AVPixelFormat* p = formats;
    while (*p != AV_PIX_FMT_NONE && (av_pix_fmt_desc_get(*p)->flags & AV_PIX_FMT_FLAG_HWACCEL))
        ++p;
    return *p;
}

class CommandLineRun {
public:
    explicit CommandLineRun(const std::string& path) : m_path(path) {}
    ~CommandLineRun();
    CommandLineRun(const CommandLineRun&) = delete;
    CommandLineRun& operator=(const CommandLineRun&) = delete;

    Frame run();

private:
    [[noreturn]] void fail(const std::string& why) const;
    void open();
    void processInput(AVPacket* pkt);
    bool processInputPacket(const AVPacket* pkt);
    int decodeVideo(AVPacket* pkt, bool& gotOutput, int64_t& durationPts, bool eof, bool& decodeFailed);
    int decode(AVPacket* pkt, bool& gotFrame);
    void sendFrameToFilters(AVFrame* frame);
    void configureGraph();
    void reapFilters();
    void videoOut(AVFrame* frame);

    std::string m_path;
    AVFormatContext* m_ic = nullptr;
    AVStream* m_st = nullptr;
    AVCodecContext* m_dec = nullptr;
    AVPacket* m_readPacket = nullptr;
    AVPacket* m_decodePacket = nullptr;
    AVFrame* m_decoded = nullptr;
    AVFrame* m_filtered = nullptr;

    // The input file's state.
    int64_t m_tsOffset = 0;
    int64_t m_lastTs = 0; // zero, not "none", until the first packet: as in the tool

    // The input stream's state.
    bool m_wrapCorrectionDone = false;
    bool m_sawFirstTs = false;
    int m_packets = 0;
    int64_t m_firstDts = kNoPts;
    int64_t m_dts = 0;
    int64_t m_pts = 0;
    int64_t m_nextDts = kNoPts;
    int64_t m_nextPts = kNoPts;
    std::deque<int64_t> m_dtsBuffer;

    // The filter graph and the parameters it was built for.
    AVFilterGraph* m_graph = nullptr;
    AVFilterContext* m_source = nullptr;
    AVFilterContext* m_sink = nullptr;
    int m_inFormat = -1;
    int m_inWidth = 0;
    int m_inHeight = 0;
    AVRational m_inAspect{0, 1};
    std::optional<std::vector<uint8_t>> m_inDisplayMatrix;

    // The output stream's state.
    bool m_outputReady = false;
    bool m_singleStreamInput = false;
    AVRational m_outFrameRate{0, 1};
    AVRational m_encoderTimeBase{0, 1};
    std::optional<Frame> m_result;
};

CommandLineRun::~CommandLineRun()
{
    avfilter_graph_free(&m_graph);
    av_frame_free(&m_filtered);
    av_frame_free(&m_decoded);
    av_packet_free(&m_decodePacket);
    av_packet_free(&m_readPacket);
    avcodec_free_context(&m_dec);
    avformat_close_input(&m_ic);
}

void CommandLineRun::fail(const std::string& why) const
{
    throw std::runtime_error("ffmpegFirstFrame(" + m_path + "): " + why);
}

void CommandLineRun::open()
{
    m_ic = avformat_alloc_context();
    if (!m_ic)
        fail("out of memory");
    m_ic->flags |= AVFMT_FLAG_NONBLOCK;
    AVDictionary* formatOptions = nullptr;
    av_dict_set(&formatOptions, "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
    int err = avformat_open_input(&m_ic, m_path.c_str(), nullptr, &formatOptions);
    av_dict_free(&formatOptions);
    if (err < 0)
        fail("avformat_open_input: " + errorText(err));
    // The tool goes on after a failed probe when the file has streams.
    if (avformat_find_stream_info(m_ic, nullptr) < 0 && m_ic->nb_streams == 0)
        fail("no codec parameters found");

    int index = chooseVideoStream(m_ic);
    if (index < 0)
        fail("no video stream the command line would pick");
    for (unsigned i = 0; i < m_ic->nb_streams; ++i)
        m_ic->streams[i]->discard = AVDISCARD_ALL;
    m_st = m_ic->streams[index];
    m_st->discard = AVDISCARD_NONE;
    m_singleStreamInput = m_ic->nb_streams == 1;

    // Without -ss the timestamps are shifted by the file's start time.
    m_tsOffset = m_ic->start_time != kNoPts ? -m_ic->start_time : 0;

    const AVCodec* codec = avcodec_find_decoder(m_st->codecpar->codec_id);
    if (!codec)
        fail(std::string("no decoder for ") + avcodec_get_name(m_st->codecpar->codec_id));
    m_dec = avcodec_alloc_context3(codec);
    if (!m_dec || avcodec_parameters_to_context(m_dec, m_st->codecpar) < 0)
        fail("cannot set up the decoder context");
    m_dec->framerate = m_st->avg_frame_rate;
    m_dec->get_format = firstSoftwareFormat;
    m_dec->pkt_timebase = m_st->time_base;
    AVDictionary* decoderOptions = nullptr;
    av_dict_set(&decoderOptions, "threads",
                (m_st->disposition & AV_DISPOSITION_ATTACHED_PIC) ? "1" : "auto", 0);
    err = avcodec_open2(m_dec, codec, &decoderOptions);
    av_dict_free(&decoderOptions);
    if (err < 0)
        fail("avcodec_open2: " + errorText(err));

    m_readPacket = av_packet_alloc();
    m_decodePacket = av_packet_alloc();
    m_decoded = av_frame_alloc();
    m_filtered = av_frame_alloc();
    if (!m_readPacket || !m_decodePacket || !m_decoded || !m_filtered)
        fail("out of memory");
}

Frame CommandLineRun::run()
{
    open();
    for (int waits = 0;;) {
        int err = av_read_frame(m_ic, m_readPacket);
        if (err == AVERROR(EAGAIN)) {
            // The tool waits 10 ms and asks again; a file answers at once.
            if (++waits > 1000)
                fail("the demuxer keeps asking to try again");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (err < 0)
            break; // end of file; a read error ends the input the same way in the tool
        if (m_readPacket->stream_index == m_st->index)
            processInput(m_readPacket);
        av_packet_unref(m_readPacket);
        if (m_result)
            return std::move(*m_result);
    }
    // Draining: one decoded frame per call, then the end of the filter input.
    for (int calls = 0; !m_result && processInputPacket(nullptr); ++calls)
        if (calls > 1000000)
            fail("the decoder never finishes draining");
    if (!m_result)
        fail("no frame");
    return std::move(*m_result);
}

// ffmpeg.c process_input() after a packet of the chosen stream was read.
void CommandLineRun::processInput(AVPacket* pkt)
{
    const AVRational tb = m_st->time_base;
    const bool discontinuous = (m_ic->iformat->flags & AVFMT_TS_DISCONT) != 0;
    ++m_packets;

    if (!m_wrapCorrectionDone && m_ic->start_time != kNoPts && m_st->pts_wrap_bits < 64) {
        // The start time counted over the streams that are read only.
        if (m_nextDts == kNoPts && m_tsOffset == -m_ic->start_time && discontinuous) {
            int64_t newStart = INT64_MAX;
            for (unsigned i = 0; i < m_ic->nb_streams; ++i) {
                const AVStream* st = m_ic->streams[i];
                if (st->discard == AVDISCARD_ALL || st->start_time == kNoPts)
                    continue;
                newStart = std::min(newStart, av_rescale_q(st->start_time, st->time_base, AV_TIME_BASE_Q));
            }
            if (newStart > m_ic->start_time)
                m_tsOffset = -newStart;
        }
        const int bits = m_st->pts_wrap_bits;
        int64_t stime = av_rescale_q(m_ic->start_time, AV_TIME_BASE_Q, tb);
        int64_t stime2 = static_cast<int64_t>(static_cast<uint64_t>(stime) + (1ULL << bits));
        m_wrapCorrectionDone = true;
        if (stime2 > stime && pkt->dts != kNoPts && pkt->dts > stime + (1LL << (bits - 1))) {
            pkt->dts = static_cast<int64_t>(static_cast<uint64_t>(pkt->dts) - (1ULL << bits));
            m_wrapCorrectionDone = false;
        }
        if (stime2 > stime && pkt->pts != kNoPts && pkt->pts > stime + (1LL << (bits - 1))) {
            pkt->pts = static_cast<int64_t>(static_cast<uint64_t>(pkt->pts) - (1ULL << bits));
            m_wrapCorrectionDone = false;
        }
    }

    // The stream's global side data goes onto its first packet.
    if (m_packets == 1) {
        for (int i = 0; i < m_st->nb_side_data; ++i) {
            const AVPacketSideData& sd = m_st->side_data[i];
            if (sd.type == AV_PKT_DATA_DISPLAYMATRIX || av_packet_get_side_data(pkt, sd.type, nullptr))
                continue;
            uint8_t* dst = av_packet_new_side_data(pkt, sd.type, sd.size);
            if (!dst)
                fail("out of memory");
            std::memcpy(dst, sd.data, sd.size);
        }
    }

    if (pkt->dts != kNoPts)
        pkt->dts += av_rescale_q(m_tsOffset, AV_TIME_BASE_Q, tb);
    if (pkt->pts != kNoPts)
        pkt->pts += av_rescale_q(m_tsOffset, AV_TIME_BASE_Q, tb);

    const auto toMicros = [&](int64_t ts) {
        return av_rescale_q_rnd(ts, tb, AV_TIME_BASE_Q,
                                static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    };
    int64_t pktDts = toMicros(pkt->dts);
    if (pktDts != kNoPts && m_nextDts == kNoPts && discontinuous && m_lastTs != kNoPts) {
        int64_t delta = pktDts - m_lastTs;
        if (delta < -1LL * kDtsDeltaThreshold * AV_TIME_BASE || delta > 1LL * kDtsDeltaThreshold * AV_TIME_BASE) {
            m_tsOffset -= delta;
            pkt->dts -= av_rescale_q(delta, AV_TIME_BASE_Q, tb);
            if (pkt->pts != kNoPts)
                pkt->pts -= av_rescale_q(delta, AV_TIME_BASE_Q, tb);
        }
    }

    pktDts = toMicros(pkt->dts);
    if (pktDts != kNoPts && m_nextDts != kNoPts) {
        int64_t delta = pktDts - m_nextDts;
        if (discontinuous) {
            if (delta < -1LL * kDtsDeltaThreshold * AV_TIME_BASE || delta > 1LL * kDtsDeltaThreshold * AV_TIME_BASE ||
                pktDts + AV_TIME_BASE / 10 < std::max(m_pts, m_dts)) {
                m_tsOffset -= delta;
                pkt->dts -= av_rescale_q(delta, AV_TIME_BASE_Q, tb);
                if (pkt->pts != kNoPts)
                    pkt->pts -= av_rescale_q(delta, AV_TIME_BASE_Q, tb);
            }
        } else {
            if (delta < -1LL * kDtsErrorThreshold * AV_TIME_BASE || delta > 1LL * kDtsErrorThreshold * AV_TIME_BASE)
                pkt->dts = kNoPts;
            if (pkt->pts != kNoPts) {
                int64_t pktPts = av_rescale_q(pkt->pts, tb, AV_TIME_BASE_Q);
                delta = pktPts - m_nextDts;
                if (delta < -1LL * kDtsErrorThreshold * AV_TIME_BASE ||
                    delta > 1LL * kDtsErrorThreshold * AV_TIME_BASE)
                    pkt->pts = kNoPts;
            }
        }
    }

    if (pkt->dts != kNoPts)
        m_lastTs = av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);

    processInputPacket(pkt);
}

// ffmpeg.c process_input_packet() for a decoded video stream; pkt null at
// the end of the file. Answers whether the decoder has not reached its end.
bool CommandLineRun::processInputPacket(const AVPacket* pkt)
{
    const AVRational tb = m_st->time_base;
    AVPacket* avpkt = m_decodePacket;
    bool repeating = false;
    bool eofReached = false;

    if (!m_sawFirstTs) {
        m_firstDts = m_dts =
            m_st->avg_frame_rate.num
                ? static_cast<int64_t>(-m_dec->has_b_frames * AV_TIME_BASE / av_q2d(m_st->avg_frame_rate))
                : 0;
        m_pts = 0;
        m_sawFirstTs = true;
    }
    if (m_nextDts == kNoPts)
        m_nextDts = m_dts;
    if (m_nextPts == kNoPts)
        m_nextPts = m_pts;

    if (pkt) {
        av_packet_unref(avpkt);
        if (av_packet_ref(avpkt, pkt) < 0)
            fail("out of memory");
        if (pkt->dts != kNoPts)
            m_nextDts = m_dts = av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
    }

    for (;;) {
        int64_t durationDts = 0;
        int64_t durationPts = 0;
        bool gotOutput = false;
        bool decodeFailed = false;

        m_pts = m_nextPts;
        m_dts = m_nextDts;

        int ret = decodeVideo(repeating ? nullptr : avpkt, gotOutput, durationPts, !pkt, decodeFailed);
        if (!repeating || !pkt || gotOutput) {
            if (pkt && pkt->duration) {
                durationDts = av_rescale_q(pkt->duration, tb, AV_TIME_BASE_Q);
            } else if (m_dec->framerate.num != 0 && m_dec->framerate.den != 0) {
                const AVCodecParserContext* parser = av_stream_get_parser(m_st);
                int ticks = parser ? parser->repeat_pict + 1 : m_dec->ticks_per_frame;
                durationDts = (static_cast<int64_t>(AV_TIME_BASE) * m_dec->framerate.den * ticks) /
                              m_dec->framerate.num / m_dec->ticks_per_frame;
            }
            if (m_dts != kNoPts && durationDts)
                m_nextDts += durationDts;
            else
                m_nextDts = kNoPts;
        }
        if (gotOutput) {
            if (durationPts > 0)
                m_nextPts += av_rescale_q(durationPts, tb, AV_TIME_BASE_Q);
            else
                m_nextPts += durationDts;
        }
        av_packet_unref(avpkt);

        if (ret == AVERROR_EOF) {
            eofReached = true;
            break;
        }
        if (ret < 0) {
            // A decoding error is logged and the tool reads on; anything else ends it.
            if (!decodeFailed)
                fail("processing a decoded frame: " + errorText(ret));
            break;
        }
        if (!gotOutput || !pkt)
            break;
        repeating = true;
    }

    if (!pkt && eofReached && m_graph) {
        int64_t pts = av_rescale_q_rnd(m_pts, AV_TIME_BASE_Q, tb,
                                       static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
        if (av_buffersrc_close(m_source, pts, AV_BUFFERSRC_FLAG_PUSH) < 0)
            fail("cannot close the filter input");
        reapFilters();
    }
    return !eofReached;
}

// ffmpeg.c decode_video().
int CommandLineRun::decodeVideo(AVPacket* pkt, bool& gotOutput, int64_t& durationPts, bool eof, bool& decodeFailed)
{
    const AVRational tb = m_st->time_base;
    if (!eof && pkt && pkt->size == 0)
        return 0;

    // The decoder sees the tool's own running dts, not the demuxer's.
    int64_t dts = kNoPts;
    if (m_dts != kNoPts)
        dts = av_rescale_q(m_dts, AV_TIME_BASE_Q, tb);
    if (pkt)
        pkt->dts = dts;
    if (eof)
        m_dtsBuffer.push_back(dts);

    int ret = decode(pkt, gotOutput);
    if (ret < 0)
        decodeFailed = true;

    if (m_st->codecpar->video_delay < m_dec->has_b_frames && m_dec->codec_id == AV_CODEC_ID_H264)
        m_st->codecpar->video_delay = m_dec->has_b_frames;

    if (!gotOutput || ret < 0)
        return ret;

    int64_t bestEffort = m_decoded->best_effort_timestamp;
    durationPts = m_decoded->pkt_duration;
    if (eof && bestEffort == kNoPts && !m_dtsBuffer.empty()) {
        bestEffort = m_dtsBuffer.front();
        m_dtsBuffer.pop_front();
    }
    if (bestEffort != kNoPts) {
        m_decoded->pts = bestEffort;
        int64_t ts = av_rescale_q(bestEffort, tb, AV_TIME_BASE_Q);
        if (ts != kNoPts)
            m_nextPts = m_pts = ts;
    }
    if (m_st->sample_aspect_ratio.num)
        m_decoded->sample_aspect_ratio = m_st->sample_aspect_ratio;

    sendFrameToFilters(m_decoded);
    av_frame_unref(m_decoded);
    return ret;
}

// ffmpeg.c decode(): a failed send is not followed by a receive.
int CommandLineRun::decode(AVPacket* pkt, bool& gotFrame)
{
    gotFrame = false;
    if (pkt) {
        int ret = avcodec_send_packet(m_dec, pkt);
        if (ret < 0 && ret != AVERROR_EOF)
            return ret;
    }
    int ret = avcodec_receive_frame(m_dec, m_decoded);
    if (ret < 0 && ret != AVERROR(EAGAIN))
        return ret;
    if (ret >= 0)
        gotFrame = true;
    return 0;
}

// ffmpeg.c ifilter_send_frame(): the graph is built for the first frame and
// rebuilt when the picture's format, size or display matrix changes.
void CommandLineRun::sendFrameToFilters(AVFrame* frame)
{
    bool needReinit = m_inFormat != frame->format || m_inWidth != frame->width || m_inHeight != frame->height;
    const AVFrameSideData* matrix = av_frame_get_side_data(frame, AV_FRAME_DATA_DISPLAYMATRIX);
    if (matrix) {
        if (!m_inDisplayMatrix || m_inDisplayMatrix->size() < sizeof(int32_t) * 9 ||
            std::memcmp(matrix->data, m_inDisplayMatrix->data(), sizeof(int32_t) * 9) != 0)
            needReinit = true;
    } else if (m_inDisplayMatrix) {
        needReinit = true;
    }

    if (needReinit) {
        m_inFormat = frame->format;
        m_inWidth = frame->width;
        m_inHeight = frame->height;
        m_inAspect = frame->sample_aspect_ratio;
        if (matrix)
            m_inDisplayMatrix.emplace(matrix->data, matrix->data + matrix->size);
        else
            m_inDisplayMatrix.reset();
    }
    if (needReinit || !m_graph) {
        reapFilters();
        configureGraph();
    }
    int ret = av_buffersrc_add_frame_flags(m_source, frame, AV_BUFFERSRC_FLAG_PUSH);
    if (ret < 0 && ret != AVERROR_EOF)
        fail("filtering: " + errorText(ret));
    reapFilters();
}

// ffmpeg_filter.c configure_filtergraph() for the simple graph "null" between
// the decoder's buffer source and the output's format filter and sink. No
// scale_sws_opts and no thread count: the tool sets neither without options.
void CommandLineRun::configureGraph()
{
    avfilter_graph_free(&m_graph);
    m_graph = avfilter_graph_alloc();
    if (!m_graph)
        fail("out of memory");

    AVFilterContext* null = nullptr;
    AVFilterContext* format = nullptr;
    if (avfilter_graph_create_filter(&null, avfilter_get_by_name("null"), "Parsed_null_0", nullptr, nullptr,
                                     m_graph) < 0)
        fail("cannot create the null filter");

    AVRational frameRate = av_guess_frame_rate(m_ic, m_st, nullptr);
    AVRational aspect = m_inAspect.den ? m_inAspect : AVRational{0, 1};
    std::string args = "video_size=" + std::to_string(m_inWidth) + "x" + std::to_string(m_inHeight) +
                       ":pix_fmt=" + std::to_string(m_inFormat) + ":time_base=" + std::to_string(m_st->time_base.num) +
                       "/" + std::to_string(m_st->time_base.den) + ":pixel_aspect=" + std::to_string(aspect.num) +
                       "/" + std::to_string(aspect.den);
    if (frameRate.num && frameRate.den)
        args += ":frame_rate=" + std::to_string(frameRate.num) + "/" + std::to_string(frameRate.den);
    std::string sourceName = "graph 0 input from stream 0:" + std::to_string(m_st->index);
    int ret = avfilter_graph_create_filter(&m_source, avfilter_get_by_name("buffer"), sourceName.c_str(),
                                           args.c_str(), nullptr, m_graph);
    if (ret < 0)
        fail("buffer source (" + args + "): " + errorText(ret));
    if (avfilter_link(m_source, 0, null, 0) < 0)
        fail("cannot link the buffer source");

    if (avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out_0_0", nullptr, nullptr,
                                     m_graph) < 0 ||
        avfilter_graph_create_filter(&format, avfilter_get_by_name("format"), "format", "bgr24", nullptr, m_graph) <
            0)
        fail("cannot create the output filters");
    if (avfilter_link(null, 0, format, 0) < 0 || avfilter_link(format, 0, m_sink, 0) < 0)
        fail("cannot link the output filters");

    ret = avfilter_graph_config(m_graph, nullptr);
    if (ret < 0)
        fail("avfilter_graph_config: " + errorText(ret));
}

void CommandLineRun::reapFilters()
{
    if (!m_graph)
        return;
    while (!m_result && av_buffersink_get_frame_flags(m_sink, m_filtered, AV_BUFFERSINK_FLAG_NO_REQUEST) >= 0) {
        videoOut(m_filtered);
        av_frame_unref(m_filtered);
    }
}

// ffmpeg.c do_video_out() up to its first written frame: the rawvideo muxer
// has fixed frame rate, so frames that fall too far before the output's
// start are dropped (cfr; vscfr when the file has one stream).
void CommandLineRun::videoOut(AVFrame* frame)
{
    if (!m_outputReady) {
        // init_output_stream_encode(): the sink's frame rate, else 25.
        m_outFrameRate = av_buffersink_get_frame_rate(m_sink);
        if (!m_outFrameRate.num)
            m_outFrameRate = AVRational{25, 1};
        m_encoderTimeBase = av_inv_q(m_outFrameRate);
        if (!(m_encoderTimeBase.num && m_encoderTimeBase.den))
            m_encoderTimeBase = av_buffersink_get_time_base(m_sink);
        m_outputReady = true;
    }
    const AVRational encTb = m_encoderTimeBase;

    // adjust_frame_pts_to_encoder_tb(), with the output starting at 0.
    double syncIpts = static_cast<double>(kNoPts);
    if (frame->pts != kNoPts) {
        AVRational filterTb = av_buffersink_get_time_base(m_sink);
        AVRational tb = encTb;
        int extraBits = av_clip(29 - av_log2(tb.den), 0, 16);
        tb.den <<= extraBits;
        double floatPts = static_cast<double>(av_rescale_q(frame->pts, filterTb, tb));
        floatPts /= 1 << extraBits;
        floatPts += (floatPts > 0 ? 1 : -1) * 1.0 / (1 << 17);
        syncIpts = floatPts;
    }

    double duration = 0;
    AVRational sinkRate = av_buffersink_get_frame_rate(m_sink);
    if (sinkRate.num > 0 && sinkRate.den > 0)
        duration = 1 / (av_q2d(sinkRate) * av_q2d(encTb));
    if (m_st->start_time != kNoPts && m_firstDts != kNoPts && m_outFrameRate.num)
        duration = std::min(duration, 1 / (av_q2d(m_outFrameRate) * av_q2d(encTb)));
    long packetDuration = lrintf(static_cast<float>(frame->pkt_duration * av_q2d(m_st->time_base) / av_q2d(encTb)));
    if (packetDuration > 0)
        duration = static_cast<double>(packetDuration);

    const double syncOpts = 0; // nothing written yet
    double delta0 = syncIpts - syncOpts;
    double delta = delta0 + duration;
    if (delta0 < 0 && delta > 0)
        delta0 = 0; // clipped into the output's first slot
    if (m_singleStreamInput && delta0 >= 0.5)
        delta = duration; // vscfr: initial frames are not duplicated
    if (delta < -1.1)
        return; // dropped by the frame-rate sync

    if (frame->format != AV_PIX_FMT_BGR24 || frame->width <= 0 || frame->height <= 0)
        fail("the filter graph gave no BGR24 picture");
    Frame out;
    out.width = frame->width;
    out.height = frame->height;
    const size_t rowBytes = static_cast<size_t>(frame->width) * 3;
    out.pixels.resize(rowBytes * static_cast<size_t>(frame->height));
    for (int y = 0; y < frame->height; ++y)
        std::memcpy(&out.pixels[rowBytes * static_cast<size_t>(y)],
                    frame->data[0] + static_cast<ptrdiff_t>(frame->linesize[0]) * y, rowBytes);
    m_result = std::move(out);
}

} // namespace

Frame ffmpegFirstFrame(const std::string& path)
{
    CommandLineRun run(path);
    return run.run();
}

} // namespace testmedia
