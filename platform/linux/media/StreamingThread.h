// The thread on which a source pushes its packets. Where it starts is for
// speed only.
//
// When the caller is about to wait for the thread (a one-shot run), the
// caller's own processor is the one that comes free first. Left to itself the
// scheduler wakes the thread on another processor, and when that one is
// busy with another program the thread waits there for its turn while the
// caller's processor sits idle. Such a thread is therefore started with the
// caller's processor as its only one, and hands itself back the caller's whole
// set as its first act: it is placed once and moves freely afterwards. The
// caller's own settings are never touched.
//
// The threads are the module's own and run one pipeline after another
// (StreamingThread.cpp says why); to its user each start is a thread of its
// own, joined when its body has ended.
#pragma once

#include <functional>

namespace comrt::media {

class StreamingThread {
public:
    StreamingThread() = default;
    StreamingThread(const StreamingThread&) = delete;
    StreamingThread& operator=(const StreamingThread&) = delete;
    // Joins a thread that is still there (detaches it when called on it).
    ~StreamingThread();

    // Runs `body` on a thread of its own; false when none could be had.
    bool start(std::function<void()> body, bool startOnCallersProcessor);
    bool joinable() const { return m_worker != nullptr; }
    // Whether the calling thread is this one.
    bool isCurrent() const;
    void join();
    // Lets the body finish on its own (for a body that ends its owner); its
    // thread is joined when the module goes.
    void detach();

    struct Worker;

private:
    Worker* m_worker = nullptr;
    unsigned long m_job = 0; // which of the worker's bodies is this one's
};

} // namespace comrt::media
