// Answers the message boxes a call on the test's thread shows: a second thread
// finds each expected box by its caption, reads its text and presses OK, so
// the modal call returns and the test goes on by itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wintest {

struct ShownBox {
    std::string caption;
    std::string text;
    bool operator==(const ShownBox&) const = default;
};

class MessageBoxWatcher {
public:
    // Waits for boxes captioned `captions`, in that order. A dialog of this
    // process still open `patienceMs` after the start is closed as well and
    // reported among the boxes, so that nothing stays blocked.
    MessageBoxWatcher(std::vector<std::string> captions, DWORD patienceMs);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // Stops watching; the boxes answered, in the order they were found.
    std::vector<ShownBox> stop();

private:
    static DWORD WINAPI run(void* self);
    void watch();
    void answer(HWND window);

    std::vector<std::string> m_captions;
    DWORD m_patienceMs;
    HANDLE m_stop = nullptr;
    HANDLE m_thread = nullptr;
    std::vector<HWND> m_answered;
    std::vector<ShownBox> m_boxes;
};

} // namespace wintest
