// The file source: demuxes one local file and pushes the packets of its
// chosen stream out of its one output pin, on a streaming thread of its own
// that runs while the filter runs.
#pragma once

#include "platform/linux/media/MediaFile.h"
#include "platform/linux/media/MediaFilter.h"
#include "platform/linux/media/StreamingThread.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

struct AVPacket;

namespace comrt::media {

class SourceFilter final : public MediaFilter {
public:
    // Opens the file; the results of MediaFile::open.
    static HRESULT create(const std::u16string& path, SourceFilter** out);

    // The stream the output pin carries, when it is video; else null.
    const AVStream* videoStream() const;
    // The source of a video stream connected to `input`, or null.
    static SourceFilter* feeding(const MediaPin& input);
    const AVFormatContext* container() const { return m_file.format(); }
    REFERENCE_TIME duration() const { return m_file.duration(); }
    // Tells the streaming thread to end after the item it is pushing, without
    // waiting for it: what a callback on that very thread can ask for.
    void requestStop();
    // Whether the calling thread is this filter's streaming thread.
    bool isOwnThread() const { return currentStreamingSource() == this; }

    // Reading ahead, while the filter is stopped: a decoder that must see the
    // first picture before its output type is settled reads the first packets
    // itself, on the caller's thread. beginReadAhead goes back to the first
    // packet; readAhead gives the next one of the stream (S_FALSE at its end).
    // The next run carries on from where the reader stopped only if the
    // reader claims that position first; any other run starts from the top.
    HRESULT beginReadAhead(const void* reader);
    HRESULT readAhead(AVPacket* packet);
    bool continueAfterReadAhead(const void* reader);
    // Runs `job` (a read-ahead) on this filter's streaming thread, while the
    // filter is stopped, runs `meanwhile` on the calling thread, and waits
    // for the job. The thread is made for the first such job and then waits
    // for the run, which it streams; so the memory a decoder takes while
    // reading ahead and while streaming comes from one thread, and a run
    // costs no second thread. Without a thread the job runs here, first.
    void onStreamingThread(const std::function<void()>& job, const std::function<void()>& meanwhile);

    HRESULT getOutputType(MediaPin& out, int index, AM_MEDIA_TYPE& mt) override;

protected:
    HRESULT start() override;
    void pause() override;
    void deactivate() override;

private:
    SourceFilter();
    ~SourceFilter() override;
    HRESULT describeStream();
    void stream();
    // The life of a streaming thread made for a read-ahead: jobs, then the run.
    void waitForRun();
    // Ends a thread that waits for a run that will not come.
    void endWaitingThread();
    // The next packet of the chosen stream: S_OK, S_FALSE at the end of the
    // file, or the failure that ended the reading.
    HRESULT readPacket(AVPacket* packet);
    void joinThread();
    // Whether the chain ends after its first sample.
    bool oneShot() const;

    MediaFile m_file;
    MediaPin& m_out;
    MediaType m_outType;
    StreamingThread m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::mutex m_pauseLock;
    std::condition_variable m_pauseChanged;
    bool m_paused = false;
    // A thread made for a read-ahead, until the run starts or it is ended
    // (guarded by m_pauseLock, signalled through m_pauseChanged).
    enum class Waiting { None, ForRun, Run, End };
    Waiting m_waiting = Waiting::None;
    const std::function<void()>* m_job = nullptr;
    bool m_moved = false; // packets were read since the file was opened or rewound
    const void* m_readAheadBy = nullptr; // who read ahead since, if anyone
    bool m_continueReadAhead = false;    // the next run takes over from that reader
};

} // namespace comrt::media
