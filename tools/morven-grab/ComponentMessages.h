// The component tells of a pipeline it cannot build in modal message boxes. An
// unattended run must never sit behind one. The Linux runtime writes each box to
// standard error and answers OK by itself; on Windows they are real dialogs, and
// while a ComponentMessages lives a thread of its own finds every box of this
// process, writes "[caption] text" to standard error and presses OK.
#pragma once

namespace grab {

// Defined in WindowsComponentMessages.cpp: the Windows build is the only one with it.
class ComponentMessages {
public:
    ComponentMessages();
    ~ComponentMessages();
    ComponentMessages(const ComponentMessages&) = delete;
    ComponentMessages& operator=(const ComponentMessages&) = delete;

    struct State;

private:
    State* state_;
};

} // namespace grab
