// The graph's event queue and its completion: what IMediaEvent reports.
// Filters post from streaming threads; callers wait on their own threads.
#pragma once

#include "platform/DirectShow.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace comrt::media {

class GraphEvents {
public:
    // The graph leaves the stopped state: `renderers` filters will each
    // report EC_COMPLETE once; with none, the stream is complete at once.
    void beginStream(int renderers);
    // Whether the graph runs; while it does not, waiting callers return.
    void setRunning(bool running);
    void post(LONG code, LONG_PTR param1, LONG_PTR param2);

    HRESULT waitForCompletion(LONG msTimeout, LONG* code);
    HRESULT getEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout);

private:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_running = false;
    int m_pendingRenderers = 0;
    LONG m_completion = 0; // EC_COMPLETE, EC_ERRORABORT or EC_USERABORT once the run has ended
    std::deque<Event> m_queue;
};

} // namespace comrt::media
