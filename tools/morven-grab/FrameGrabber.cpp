#include "tools/morven-grab/FrameGrabber.h"

#include "platform/Com.h"
#include "platform/Kernel.h"
#include "tools/common/ResultText.h"
#include "tools/morven-grab/FrameWriter.h"

#include <cstdio>
#include <cstdlib>

namespace grab {

namespace {

#ifdef _WIN32
// Command-line arguments and file names arrive in the ANSI code page.
constexpr UINT kPathCodePage = CP_ACP;
constexpr DWORD kPathConversionFlags = 0;
#define PATH_ENCODING "ANSI"
#define REGISTER_HINT "regsvr32 MORVEN.ocx"
#define OLE_TEXT(text) L"" text
#else
// File names on this system are UTF-8.
constexpr UINT kPathCodePage = CP_UTF8;
constexpr DWORD kPathConversionFlags = MB_ERR_INVALID_CHARS;
#define PATH_ENCODING "UTF-8"
#define REGISTER_HINT "regsvr MORVEN.ocx"
#define OLE_TEXT(text) u"" text
#endif

// The path as a BSTR, converted from the encoding the system gives file names.
BSTR pathToBstr(const std::string& path)
{
    const int length = MultiByteToWideChar(kPathCodePage, kPathConversionFlags, path.data(),
                                           static_cast<int>(path.size()), nullptr, 0);
    if (length <= 0)
        return nullptr;
    std::basic_string<OLECHAR> wide(static_cast<std::size_t>(length), 0);
    MultiByteToWideChar(kPathCodePage, kPathConversionFlags, path.data(), static_cast<int>(path.size()), wide.data(),
                        length);
    return SysAllocString(wide.c_str());
}

std::string registryInUse()
{
#ifdef _WIN32
    return "the registry";
#else
    const char* file = std::getenv("COMRT_REGISTRY");
    return file && *file ? std::string(file) : std::string("the default registry");
#endif
}

template <class F>
auto timed(StepTimes* times, const char* step, F&& f)
{
    return times ? times->time(step, std::forward<F>(f)) : f();
}

GrabOutcome failed(int code, std::string message, std::string reason)
{
    GrabOutcome outcome;
    outcome.code = code;
    outcome.message = std::move(message);
    outcome.reason = std::move(reason);
    return outcome;
}

} // namespace

void StepTimes::print() const
{
    for (const auto& [step, ms] : steps_)
        std::printf("  %-15s %9.3f ms\n", step, ms);
}

FrameGrabber::FrameGrabber()
{
    const HRESULT hr = CoInitialize(nullptr);
    comInitialized_ = SUCCEEDED(hr);
    if (!comInitialized_)
        comError_ = "CoInitialize failed: " + tools::describeResult(hr);
}

FrameGrabber::~FrameGrabber()
{
    if (object_)
        object_->Release();
    if (comInitialized_)
        CoUninitialize();
}

int FrameGrabber::create(std::string& error)
{
    if (!comInitialized_) {
        error = comError_;
        return kNoObject;
    }
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(OLE_TEXT(MORVEN_VERSION_INDEPENDENT_PROGID), &clsid);
    if (FAILED(hr)) {
        error = "class " MORVEN_VERSION_INDEPENDENT_PROGID " is not registered in " + registryInUse() +
                " (CLSIDFromProgID: " + tools::describeResult(hr) + "); register it first: " REGISTER_HINT;
        return kNoObject;
    }
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICMORVENProc, reinterpret_cast<void**>(&object_));
    if (hr == REGDB_E_CLASSNOTREG) {
        error = "class " MORVEN_VERSION_INDEPENDENT_PROGID " is not registered in " + registryInUse() +
                " (CoCreateInstance: " + tools::describeResult(hr) + "); register it first: " REGISTER_HINT;
        object_ = nullptr;
        return kNoObject;
    }
    if (FAILED(hr) || !object_) {
        error = "cannot create " MORVEN_VERSION_INDEPENDENT_PROGID ": CoCreateInstance returned " +
                tools::describeResult(hr) + "; is the registered module still where regsvr found it?";
        object_ = nullptr;
        return kNoObject;
    }
    return kSuccess;
}

GrabOutcome FrameGrabber::grab(const std::string& video, bool flip, const std::string& image, const std::string& raw,
                               StepTimes* times)
{
    if (!object_)
        return failed(kNoObject, "no object to grab with", "no object to grab with");
    BSTR path = pathToBstr(video);
    if (!path)
        return failed(kNotOpened, "the video path is not valid " PATH_ENCODING ": " + video,
                      "the path is not valid " PATH_ENCODING);
    VARIANT_BOOL created = 0;
    timed(times, "createCapture",
          [&] { return object_->createCapture(path, flip ? VARIANT_TRUE : VARIANT_FALSE, &created); });
    SysFreeString(path);
    if (!created)
        return failed(kNotOpened, "cannot open " + video + ": createCapture could not build a pipeline for it",
                      "cannot open it: createCapture could not build a pipeline for it");

    timed(times, "startCapture", [&] { return object_->startCapture(); });
    MORImageStruct frame{};
    frame.data = nullptr;
    timed(times, "Grab", [&] { return object_->Grab(&frame); });

    GrabOutcome outcome;
    if (!frame.data) {
        outcome = failed(kNoFrame, "no frame delivered from " + video, "no frame delivered");
    } else if (!writableFrame(frame)) {
        const std::string geometry = std::to_string(frame.width) + "x" + std::to_string(frame.height) + ", " +
                                     std::to_string(frame.channels) + " channels of " + std::to_string(frame.depth) +
                                     " bits";
        outcome = failed(kNoFrame, "unsupported frame from " + video + ": " + geometry, "unsupported frame: " + geometry);
    } else {
        outcome.frame = frame;
        std::string error;
        const bool written = timed(times, "write", [&] {
            return writeImage(frame, flip, image, error) && (raw.empty() || writeRaw(frame, raw, error));
        });
        if (!written) {
            outcome.code = kNotWritten;
            outcome.message = error;
            outcome.reason = error;
        }
    }
    outcome.frame.data = nullptr;
    // The pixels belong to the pipeline: everything above is done with them before it goes.
    timed(times, "destroyCapture", [&] { return object_->destroyCapture(); });
    return outcome;
}

} // namespace grab
