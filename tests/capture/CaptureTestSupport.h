// What the capture tests share: a session that cleans up after itself, the
// message boxes a call showed, generated media made once per process, and
// paths as the BSTRs a host passes.
#pragma once

#include "capture/CaptureSession.h"
#include "capture/GrabberCallback.h"
#include "platform/UserInterface.h"
#include "platform/linux/ComRtExtensions.h"
#include "tests/support/ComHolders.h"
#include "tests/support/TestMedia.h"

#include <functional>
#include <string>
#include <vector>

namespace capturetest {

struct ShownBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Records every message box instead of showing it, for as long as it lives.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    const std::vector<ShownBox>& boxes() const;
    // Text and caption of each box, in the order shown.
    std::vector<std::pair<std::string, std::string>> shown() const;
    void clear();

private:
    int (*m_previous)(HWND, LPCSTR, LPCSTR, UINT);
};

// A path as a host passes it.
testkit::Bstr hostPath(const std::string& utf8Path);

// A session as an object creation leaves it; torn down when it goes.
struct Session : CCaptureSession {
    Session() { initialize(); }
    ~Session() { destroyCapture(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // createCapture on a path; the value written through bCaptureCreated.
    VARIANT_BOOL create(const std::string& path, VARIANT_BOOL flip, HRESULT* result = nullptr);
    // Every pipeline reference and the header are released.
    bool holdsNothing() const;
};

// The media hooks go back to normal when the test ends.
struct MediaHooksGuard {
    ~MediaHooksGuard() { ComRtResetMediaHooks(); }
};

// Generated files, made on first use and kept until the process ends.
const testkit::ScratchDirectory& mediaDir();
const std::string& rawAvi(int width, int height);
const std::string& mjpegAvi();
const std::string& audioOnly();

// A media step's name, for parameterised test names.
const char* stepName(ComRtMediaStep step);

// Runs `body` on a new thread, whose apartment count starts at zero.
void onFreshThread(const std::function<void()>& body);

// Whether the calling thread's apartment count is zero: probed by a
// CoInitialize that is given back at once.
bool apartmentBalanced();

} // namespace capturetest
