// The component as morven-grab uses it: one object, and whole capture cycles on it
// (createCapture, startCapture, Grab, the image written, destroyCapture), one file
// after another. Shared by the single-file run and a batch's workers.
#pragma once

#include "capture/MORVEN.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace grab {

// Exit codes of morven-grab, and the outcome of one file.
enum ExitCode {
    kSuccess = 0,
    kBadArguments = 1,
    kNoObject = 2,
    kNotOpened = 3,
    kNoFrame = 4,
    kNotWritten = 5,
    kSomeFailed = 6,
    kInterrupted = 130,
};

// Times each step for the single run's closing report.
class StepTimes {
public:
    template <class F>
    auto time(const char* step, F&& f)
    {
        const auto start = std::chrono::steady_clock::now();
        auto result = f();
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        steps_.emplace_back(step, elapsed.count());
        return result;
    }
    void print() const;

private:
    std::vector<std::pair<const char*, double>> steps_;
};

// What one cycle gave: the code (kSuccess or the failure) and, on failure, why:
// in a message that names the video, and in a reason that does not.
struct GrabOutcome {
    int code = kSuccess;
    std::string message;
    std::string reason;
    MORImageStruct frame{}; // geometry of the frame written; its data is gone with the cycle
};

class FrameGrabber {
public:
    FrameGrabber();  // initialises COM on this thread
    ~FrameGrabber(); // releases the object, then COM
    FrameGrabber(const FrameGrabber&) = delete;
    FrameGrabber& operator=(const FrameGrabber&) = delete;

    // Creates the object by its version-independent ProgID, as a host finds it.
    // kSuccess, or kNoObject with the reason.
    int create(std::string& error);

    // One whole cycle on `video`: the image to `image` (its extension picks the
    // format) and, unless empty, the buffer as handed out to `raw`.
    GrabOutcome grab(const std::string& video, bool flip, const std::string& image, const std::string& raw,
                     StepTimes* times = nullptr);

private:
    ICMORVENProc* object_ = nullptr;
    bool comInitialized_ = false;
    std::string comError_;
};

} // namespace grab
