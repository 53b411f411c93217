// The process ANSI code page. Linux file names are UTF-8, so that is the default;
// COMRT_ACP (a code page number) chooses another for the whole process.
#include "platform/linux/ComRtExtensions.h"
#include "platform/linux/kernel/CodePages.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<UINT> g_overriddenCodePage{0};

UINT codePageFromEnvironment()
{
    const char* text = std::getenv("COMRT_ACP");
    if (!text || !*text)
        return CP_UTF8;
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    // Pseudo code pages and unknown numbers are no choice at all.
    if (*end != '\0' || value <= CP_THREAD_ACP || value > 65535 || !comrt::isSupportedCodePage(static_cast<UINT>(value)))
        return CP_UTF8;
    return static_cast<UINT>(value);
}

} // namespace

namespace comrt {

UINT processAnsiCodePage()
{
    UINT overridden = g_overriddenCodePage.load(std::memory_order_relaxed);
    if (overridden != 0)
        return overridden;
    static const UINT fromEnvironment = codePageFromEnvironment();
    return fromEnvironment;
}

} // namespace comrt

void ComRtSetAnsiCodePage(UINT cp)
{
    g_overriddenCodePage.store(cp <= CP_THREAD_ACP ? 0 : cp, std::memory_order_relaxed);
}

UINT WINAPI GetACP()
{
    return comrt::processAnsiCodePage();
}
