// On Windows the boxes are real dialogs on the thread that called the component. A
// thread of our own looks for this process's dialogs, reads each one's caption and
// text and presses OK, so the modal call returns and the run goes on.
#include "tools/morven-grab/ComponentMessages.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace grab {

namespace {

// Often enough that a box costs a run no noticeable time.
constexpr DWORD kPollMs = 20;

std::string windowText(HWND window)
{
    char text[2048];
    const int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, static_cast<size_t>(std::max(length, 0)));
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

// Visible dialogs (the message box class) of this process.
BOOL CALLBACK findDialogs(HWND window, LPARAM into)
{
    char className[32];
    GetClassNameA(window, className, sizeof className);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpA(className, "#32770") == 0)
        reinterpret_cast<std::vector<HWND>*>(into)->push_back(window);
    return TRUE;
}

} // namespace

struct ComponentMessages::State {
    HANDLE stop = nullptr;
    HANDLE thread = nullptr;
    std::vector<HWND> answered; // pressed, and not yet gone

    static DWORD WINAPI run(void* self)
    {
        static_cast<State*>(self)->watch();
        return 0;
    }

    void watch()
    {
        while (WaitForSingleObject(stop, kPollMs) == WAIT_TIMEOUT) {
            answered.erase(std::remove_if(answered.begin(), answered.end(), [](HWND w) { return !IsWindow(w); }),
                           answered.end());
            std::vector<HWND> dialogs;
            EnumWindows(findDialogs, reinterpret_cast<LPARAM>(&dialogs));
            for (HWND window : dialogs)
                if (std::find(answered.begin(), answered.end(), window) == answered.end())
                    answer(window);
        }
    }

    void answer(HWND window)
    {
        std::string text;
        EnumChildWindows(window, findMessage, reinterpret_cast<LPARAM>(&text));
        // As the Linux runtime writes a box.
        std::fprintf(stderr, "[%s] %s\n", windowText(window).c_str(), text.c_str());
        std::fflush(stderr);
        answered.push_back(window);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
};

ComponentMessages::ComponentMessages() : state_(new State)
{
    state_->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (state_->stop)
        state_->thread = CreateThread(nullptr, 0, &State::run, state_, 0, nullptr);
    if (!state_->thread)
        std::fprintf(stderr, "morven-grab: cannot watch for message boxes (error %lu); a box may wait for you\n",
                     static_cast<unsigned long>(GetLastError()));
}

ComponentMessages::~ComponentMessages()
{
    if (state_->thread) {
        SetEvent(state_->stop);
        WaitForSingleObject(state_->thread, INFINITE);
        CloseHandle(state_->thread);
    }
    if (state_->stop)
        CloseHandle(state_->stop);
    delete state_;
}

} // namespace grab
