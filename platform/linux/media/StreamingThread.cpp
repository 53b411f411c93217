#include "platform/linux/media/StreamingThread.h"

#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <vector>

namespace comrt::media {

// A thread of the module's own that runs one body after another and waits,
// parked, in between. Making and ending a thread for every pipeline costs more
// than a small picture's whole decode: the new stack's pages are faulted in,
// and at its end they are given back with a flush of every processor's
// address translations.
struct StreamingThread::Worker {
    pthread_t handle{};
    std::mutex lock;
    std::condition_variable changed;
    std::function<void()> body; // the next body; empty while parked
    cpu_set_t callersSet{};
    bool restoreSet = false;      // hand the caller's whole set back before the body
    unsigned long handedOver = 0; // bodies given to it so far
    unsigned long finished = 0;   // bodies it has run to their end
    bool quit = false;
};

namespace {

using Worker = StreamingThread::Worker;

// Every worker the module has made. They are never freed before the module
// goes: a StreamingThread that has not been joined yet may still look at its
// worker's counts. When the module goes (process exit or unload) each is told
// to quit and joined, so that none runs in code being unloaded.
class Workers {
public:
    ~Workers()
    {
        for (const auto& worker : m_all) {
            std::lock_guard<std::mutex> hold(worker->lock);
            worker->quit = true;
            worker->changed.notify_all();
        }
        // A last release is short; the bound only keeps a stuck one from
        // holding up the exit.
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += 5;
        for (auto& worker : m_all)
            if (pthread_timedjoin_np(worker->handle, nullptr, &deadline) != 0)
                worker.release(); // still running: its state must outlive it
    }

    // A parked worker, or none.
    Worker* takeParked()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_parked.empty())
            return nullptr;
        Worker* worker = m_parked.back();
        m_parked.pop_back();
        return worker;
    }

    // Keeps a worker whose thread is running; false when it cannot be kept.
    bool add(Worker* worker)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        try {
            m_all.reserve(m_all.size() + 1);
            m_parked.reserve(m_all.size() + 1); // so that parking never allocates
        } catch (const std::bad_alloc&) {
            return false;
        }
        m_all.emplace_back(worker);
        return true;
    }

    void park(Worker* worker)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_parked.push_back(worker);
    }

private:
    std::mutex m_lock;
    std::vector<std::unique_ptr<Worker>> m_all;
    std::vector<Worker*> m_parked;
};

Workers& workers()
{
    static Workers all;
    return all;
}

void* runWorker(void* argument)
{
    Worker& worker = *static_cast<Worker*>(argument);
    for (;;) {
        std::function<void()> body;
        bool restoreSet;
        {
            std::unique_lock<std::mutex> hold(worker.lock);
            worker.changed.wait(hold, [&] { return worker.quit || worker.body; });
            if (!worker.body)
                return nullptr;
            body = std::move(worker.body);
            worker.body = nullptr;
            restoreSet = worker.restoreSet;
        }
        if (restoreSet)
            sched_setaffinity(0, sizeof worker.callersSet, &worker.callersSet);
        body();
        body = nullptr; // what it holds goes before its end is reported
        // Parked first, so that a caller who starts the next pipeline as soon
        // as this one is joined finds it.
        workers().park(&worker);
        {
            std::lock_guard<std::mutex> hold(worker.lock);
            ++worker.finished;
        }
        worker.changed.notify_all(); // outside the lock, so the joiner need not wait for it
    }
}

// Reads the caller's set into `callersSet` and its processor alone into
// `one`; false (nothing to restrict) when either cannot be read.
bool callersProcessor(cpu_set_t& callersSet, cpu_set_t& one)
{
    const int cpu = sched_getcpu();
    if (cpu < 0 || cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof callersSet, &callersSet) != 0)
        return false;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    return true;
}

// A new worker, its thread started parked; null when none could be made.
Worker* makeWorker(const cpu_set_t* placement)
{
    std::unique_ptr<Worker> worker(new (std::nothrow) Worker);
    if (!worker)
        return nullptr;
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return nullptr;
    if (placement)
        pthread_attr_setaffinity_np(&attr, sizeof *placement, placement);
    int error = pthread_create(&worker->handle, &attr, runWorker, worker.get());
    if (error != 0 && placement) {
        // A container may forbid the placement; the thread matters more.
        pthread_attr_destroy(&attr);
        pthread_attr_init(&attr);
        error = pthread_create(&worker->handle, &attr, runWorker, worker.get());
    }
    pthread_attr_destroy(&attr);
    if (error != 0)
        return nullptr;
    Worker* made = worker.release();
    if (!workers().add(made)) {
        // Not kept, so it cannot be joined later: it quits now instead.
        {
            std::lock_guard<std::mutex> hold(made->lock);
            made->quit = true;
            made->changed.notify_all();
        }
        pthread_join(made->handle, nullptr);
        delete made;
        return nullptr;
    }
    return made;
}

} // namespace

StreamingThread::~StreamingThread()
{
    if (!m_worker)
        return;
    if (isCurrent())
        detach();
    else
        join();
}

bool StreamingThread::start(std::function<void()> body, bool startOnCallersProcessor)
{
    if (m_worker)
        return false;
    cpu_set_t callersSet, one;
    bool place = startOnCallersProcessor && callersProcessor(callersSet, one);
    Worker* worker = workers().takeParked();
    if (worker) {
        if (place && pthread_setaffinity_np(worker->handle, sizeof one, &one) != 0)
            place = false;
    } else if (!(worker = makeWorker(place ? &one : nullptr))) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(worker->lock);
        worker->body = std::move(body);
        worker->restoreSet = place;
        if (place)
            worker->callersSet = callersSet;
        m_job = ++worker->handedOver;
    }
    m_worker = worker;
    worker->changed.notify_all();
    return true;
}

bool StreamingThread::isCurrent() const
{
    if (!m_worker || !pthread_equal(m_worker->handle, pthread_self()))
        return false;
    std::lock_guard<std::mutex> hold(m_worker->lock);
    return m_worker->finished < m_job;
}

void StreamingThread::join()
{
    if (!m_worker || isCurrent())
        return;
    std::unique_lock<std::mutex> hold(m_worker->lock);
    m_worker->changed.wait(hold, [this] { return m_worker->finished >= m_job; });
    hold.unlock();
    m_worker = nullptr;
}

void StreamingThread::detach()
{
    // The worker ends the body on its own and parks; the module joins it when it goes.
    m_worker = nullptr;
}

} // namespace comrt::media
