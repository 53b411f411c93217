// Message boxes. There is no desktop to show them on: by default a box is written
// to standard error and answered with OK. A host (or a test) installs its own handler.
#include "platform/UserInterface.h"
#include "platform/linux/ComRtExtensions.h"

#include <atomic>
#include <cstdio>

namespace {

int writeToStandardError(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "Error", text ? text : "");
    std::fflush(stderr);
    return IDOK;
}

std::atomic<ComRtMessageBoxHandler> g_handler{nullptr};

} // namespace

ComRtMessageBoxHandler ComRtSetMessageBoxHandler(ComRtMessageBoxHandler handler)
{
    return g_handler.exchange(handler);
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    ComRtMessageBoxHandler handler = g_handler.load();
    return (handler ? handler : writeToStandardError)(hWnd, lpText, lpCaption, uType);
}
