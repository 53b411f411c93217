// The thread on which a source pushes its packets. Where it starts is for
// speed only.
//
// When the caller is about to wait for the thread (a one-shot run), the
// caller's own processor is the one that comes free first. Left to itself the
// scheduler queues a new thread on another processor, and when that one is
// busy with another program the thread waits there for its turn while the
// caller's processor sits idle. Such a thread is therefore made with the
// caller's processor as its only one, and hands itself back the caller's whole
// set as its first act: it is placed once and moves freely afterwards. The
// caller's own settings are never touched.
#pragma once

#include <functional>
#include <pthread.h>

namespace comrt::media {

class StreamingThread {
public:
    StreamingThread() = default;
    StreamingThread(const StreamingThread&) = delete;
    StreamingThread& operator=(const StreamingThread&) = delete;
    // Joins a thread that is still there (detaches it when called on it).
    ~StreamingThread();

    // Runs `body` on a new thread; false when none could be made.
    bool start(std::function<void()> body, bool startOnCallersProcessor);
    bool joinable() const { return m_started; }
    // Whether the calling thread is this one.
    bool isCurrent() const;
    void join();
    // Lets the thread finish on its own (for a thread that ends its owner);
    // it is joined later, at the latest when the module goes.
    void detach();

private:
    pthread_t m_handle{};
    bool m_started = false;
};

} // namespace comrt::media
