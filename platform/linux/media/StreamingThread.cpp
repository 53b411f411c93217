#include "platform/linux/media/StreamingThread.h"

#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <sched.h>
#include <vector>

namespace comrt::media {

namespace {

// What the new thread needs; it owns this from its first instant.
struct Launch {
    std::function<void()> body;
    cpu_set_t callersSet;
    bool restoreSet = false;
};

void* runLaunch(void* argument)
{
    std::unique_ptr<Launch> launch(static_cast<Launch*>(argument));
    if (launch->restoreSet)
        sched_setaffinity(0, sizeof launch->callersSet, &launch->callersSet);
    launch->body();
    return nullptr;
}

// Restricts `attr` to the processor the caller runs on and keeps the caller's
// set in `launch`; false (nothing restricted) when either cannot be read.
bool restrictToCallersProcessor(pthread_attr_t& attr, Launch& launch)
{
    const int cpu = sched_getcpu();
    if (cpu < 0 || cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof launch.callersSet, &launch.callersSet) != 0)
        return false;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    return pthread_attr_setaffinity_np(&attr, sizeof one, &one) == 0;
}

// Threads that ended their owner and so finish on their own. They are still
// joined: those already finished whenever another thread starts, and any left
// when this module goes (process exit or unload), so that none is still
// running in code being unloaded or while the process tears itself down.
class LingeringThreads {
public:
    ~LingeringThreads()
    {
        // A last release is short; the bound only keeps a stuck one from
        // holding up the exit.
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += 5;
        std::lock_guard<std::mutex> hold(m_lock);
        for (pthread_t thread : m_threads)
            pthread_timedjoin_np(thread, nullptr, &deadline);
        m_threads.clear();
    }

    void add(pthread_t thread)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        try {
            m_threads.push_back(thread);
        } catch (const std::bad_alloc&) {
            pthread_detach(thread);
        }
    }

    void joinFinished()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (auto it = m_threads.begin(); it != m_threads.end();) {
            if (pthread_tryjoin_np(*it, nullptr) == 0)
                it = m_threads.erase(it);
            else
                ++it;
        }
    }

private:
    std::mutex m_lock;
    std::vector<pthread_t> m_threads;
};

LingeringThreads& lingeringThreads()
{
    static LingeringThreads threads;
    return threads;
}

} // namespace

StreamingThread::~StreamingThread()
{
    if (!m_started)
        return;
    if (isCurrent())
        detach();
    else
        join();
}

bool StreamingThread::start(std::function<void()> body, bool startOnCallersProcessor)
{
    if (m_started)
        return false;
    lingeringThreads().joinFinished();
    std::unique_ptr<Launch> launch(new (std::nothrow) Launch);
    if (!launch)
        return false;
    launch->body = std::move(body);
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    if (startOnCallersProcessor)
        launch->restoreSet = restrictToCallersProcessor(attr, *launch);
    int error = pthread_create(&m_handle, &attr, runLaunch, launch.get());
    if (error != 0 && launch->restoreSet) {
        // A container may forbid the placement; the thread matters more.
        pthread_attr_destroy(&attr);
        pthread_attr_init(&attr);
        launch->restoreSet = false;
        error = pthread_create(&m_handle, &attr, runLaunch, launch.get());
    }
    pthread_attr_destroy(&attr);
    if (error != 0)
        return false;
    launch.release(); // the thread's now
    m_started = true;
    return true;
}

bool StreamingThread::isCurrent() const
{
    return m_started && pthread_equal(m_handle, pthread_self());
}

void StreamingThread::join()
{
    if (m_started && !isCurrent()) {
        pthread_join(m_handle, nullptr);
        m_started = false;
    }
}

void StreamingThread::detach()
{
    if (m_started) {
        lingeringThreads().add(m_handle);
        m_started = false;
    }
}

} // namespace comrt::media
