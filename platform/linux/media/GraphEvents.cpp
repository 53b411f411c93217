#include "platform/linux/media/GraphEvents.h"

#include <chrono>

namespace comrt::media {

namespace {

// Events nobody collects are dropped beyond this many.
constexpr size_t kMaxQueuedEvents = 256;

} // namespace

void GraphEvents::beginStream(int renderers)
{
    std::lock_guard lock(m_lock);
    m_completion = 0;
    m_queue.clear();
    m_pendingRenderers = renderers;
    if (renderers == 0) {
        m_completion = EC_COMPLETE;
        m_queue.push_back({EC_COMPLETE, S_OK, 0});
    }
    m_changed.notify_all();
}

void GraphEvents::setRunning(bool running)
{
    std::lock_guard lock(m_lock);
    m_running = running;
    m_changed.notify_all();
}

void GraphEvents::post(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    {
        std::lock_guard lock(m_lock);
        if (code == EC_COMPLETE) {
            // The graph completes once every renderer has.
            if (m_pendingRenderers > 0 && --m_pendingRenderers > 0)
                return;
            if (m_completion != 0)
                return;
            m_completion = EC_COMPLETE;
        } else if (code == EC_ERRORABORT || code == EC_USERABORT) {
            if (m_completion != 0)
                return;
            m_completion = code;
        }
        if (m_queue.size() < kMaxQueuedEvents)
            m_queue.push_back({code, param1, param2});
    }
    // Woken after the lock is let go, a waiter does not wake only to wait
    // for the lock. (The graph outlives every streaming thread that posts.)
    m_changed.notify_all();
}

HRESULT GraphEvents::waitForCompletion(LONG msTimeout, LONG* code)
{
    if (!code)
        return E_POINTER;
    *code = 0;
    std::unique_lock lock(m_lock);
    auto ended = [this] { return m_completion != 0 || !m_running; };
    // INFINITE arrives here as -1.
    if (msTimeout < 0)
        m_changed.wait(lock, ended);
    else if (!m_changed.wait_for(lock, std::chrono::milliseconds(msTimeout), ended))
        return E_ABORT;
    if (m_completion == 0)
        return VFW_E_WRONG_STATE; // not running, or stopped or paused while waiting
    *code = m_completion;
    return S_OK;
}

HRESULT GraphEvents::getEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout)
{
    if (!code || !param1 || !param2)
        return E_POINTER;
    *code = 0;
    *param1 = *param2 = 0;
    std::unique_lock lock(m_lock);
    auto ready = [this] { return !m_queue.empty(); };
    if (msTimeout < 0)
        m_changed.wait(lock, [&] { return ready() || !m_running; });
    else
        m_changed.wait_for(lock, std::chrono::milliseconds(msTimeout), ready);
    if (m_queue.empty())
        return E_ABORT;
    Event e = m_queue.front();
    m_queue.pop_front();
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

} // namespace comrt::media
