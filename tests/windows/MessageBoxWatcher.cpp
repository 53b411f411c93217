#include "tests/windows/MessageBoxWatcher.h"

#include <algorithm>

namespace wintest {

namespace {

std::string windowText(HWND window)
{
    char text[1024];
    const int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, static_cast<size_t>(std::max(length, 0)));
}

bool ownedByThisProcess(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

// The message of a box is its one static control with text (the icon has none).
BOOL CALLBACK findMessage(HWND child, LPARAM into)
{
    char className[32];
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0)
        return TRUE;
    std::string text = windowText(child);
    if (text.empty())
        return TRUE;
    *reinterpret_cast<std::string*>(into) = text;
    return FALSE;
}

struct StrayDialogs {
    std::vector<HWND> found;
};

BOOL CALLBACK findStray(HWND window, LPARAM into)
{
    char className[32];
    GetClassNameA(window, className, sizeof className);
    if (IsWindowVisible(window) && ownedByThisProcess(window) && lstrcmpA(className, "#32770") == 0)
        reinterpret_cast<StrayDialogs*>(into)->found.push_back(window);
    return TRUE;
}

} // namespace

MessageBoxWatcher::MessageBoxWatcher(std::vector<std::string> captions, DWORD patienceMs)
    : m_captions(std::move(captions)), m_patienceMs(patienceMs)
{
    m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, &MessageBoxWatcher::run, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    stop();
    if (m_stop)
        CloseHandle(m_stop);
}

std::vector<ShownBox> MessageBoxWatcher::stop()
{
    if (m_thread) {
        SetEvent(m_stop);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    return m_boxes;
}

DWORD WINAPI MessageBoxWatcher::run(void* self)
{
    static_cast<MessageBoxWatcher*>(self)->watch();
    return 0;
}

void MessageBoxWatcher::watch()
{
    const DWORD start = GetTickCount();
    size_t next = 0;
    while (WaitForSingleObject(m_stop, 20) == WAIT_TIMEOUT) {
        if (next < m_captions.size()) {
            HWND window = FindWindowA(nullptr, m_captions[next].c_str());
            // A box is filled in before it is shown: read it once it is visible.
            if (window && IsWindowVisible(window) && ownedByThisProcess(window) &&
                std::find(m_answered.begin(), m_answered.end(), window) == m_answered.end()) {
                answer(window);
                ++next;
                continue;
            }
        }
        if (GetTickCount() - start > m_patienceMs) {
            StrayDialogs strays;
            EnumWindows(findStray, reinterpret_cast<LPARAM>(&strays));
            for (HWND window : strays.found)
                if (std::find(m_answered.begin(), m_answered.end(), window) == m_answered.end())
                    answer(window);
        }
    }
}

void MessageBoxWatcher::answer(HWND window)
{
    ShownBox box;
    box.caption = windowText(window);
    EnumChildWindows(window, findMessage, reinterpret_cast<LPARAM>(&box.text));
    m_boxes.push_back(box);
    m_answered.push_back(window);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

} // namespace wintest
