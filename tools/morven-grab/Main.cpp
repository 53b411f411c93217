// morven-grab: a host of the capture component. Creates MORVEN.CMORVENProc through
// COM, grabs the first frame of a video and writes it as an image.
#include "capture/MORVEN.h"
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "tools/common/ResultText.h"
#include "tools/morven-grab/FrameWriter.h"
#include "tools/morven-grab/GrabOptions.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

enum ExitCode { kSuccess = 0, kBadArguments = 1, kNoObject = 2, kNotOpened = 3, kNoFrame = 4, kNotWritten = 5 };

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "morven-grab: %s\n", message.c_str());
    return code;
}

// Times each step of the session for the closing report.
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
    void print() const
    {
        for (const auto& [step, ms] : steps_)
            std::printf("  %-15s %9.3f ms\n", step, ms);
    }

private:
    std::vector<std::pair<const char*, double>> steps_;
};

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

// Creates the object by its version-independent ProgID, the way a host finds it.
int createObject(ICMORVENProc*& object)
{
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(OLE_TEXT(MORVEN_VERSION_INDEPENDENT_PROGID), &clsid);
    if (FAILED(hr))
        return fail(kNoObject, "class " MORVEN_VERSION_INDEPENDENT_PROGID " is not registered in " + registryInUse() +
                                   " (CLSIDFromProgID: " + tools::describeResult(hr) +
                                   "); register it first: " REGISTER_HINT);
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICMORVENProc, reinterpret_cast<void**>(&object));
    if (hr == REGDB_E_CLASSNOTREG)
        return fail(kNoObject, "class " MORVEN_VERSION_INDEPENDENT_PROGID " is not registered in " + registryInUse() +
                                   " (CoCreateInstance: " + tools::describeResult(hr) +
                                   "); register it first: " REGISTER_HINT);
    if (FAILED(hr) || !object)
        return fail(kNoObject, "cannot create " MORVEN_VERSION_INDEPENDENT_PROGID ": CoCreateInstance returned " +
                                   tools::describeResult(hr) + "; is the registered module still where regsvr found it?");
    return kSuccess;
}

int grabFrame(ICMORVENProc* object, const grab::GrabOptions& options, StepTimes& times)
{
    BSTR path = pathToBstr(options.video);
    if (!path)
        return fail(kNotOpened, "the video path is not valid " PATH_ENCODING ": " + options.video);
    VARIANT_BOOL created = 0;
    times.time("createCapture", [&] {
        return object->createCapture(path, options.flip ? VARIANT_TRUE : VARIANT_FALSE, &created);
    });
    SysFreeString(path);
    if (!created)
        return fail(kNotOpened, "cannot open " + options.video + ": createCapture could not build a pipeline for it");

    times.time("startCapture", [&] { return object->startCapture(); });
    MORImageStruct frame{};
    frame.data = nullptr;
    times.time("Grab", [&] { return object->Grab(&frame); });

    int result = kSuccess;
    if (!frame.data) {
        result = fail(kNoFrame, "no frame delivered from " + options.video);
    } else if (!grab::writableFrame(frame)) {
        result = fail(kNoFrame, "unsupported frame from " + options.video + ": " + std::to_string(frame.width) + "x" +
                                    std::to_string(frame.height) + ", " + std::to_string(frame.channels) +
                                    " channels of " + std::to_string(frame.depth) + " bits");
    } else {
        std::printf("%s: %dx%d, %d channels of %d bits, row pitch %zu bytes, rows %s\n", options.video.c_str(),
                    frame.width, frame.height, frame.channels, frame.depth, grab::rowPitch(frame),
                    options.flip ? "top first" : "bottom first");
        std::string error;
        const bool written = times.time("write", [&] {
            return grab::writeImage(frame, options.flip, options.output, error) &&
                   (options.raw.empty() || grab::writeRaw(frame, options.raw, error));
        });
        if (!written)
            result = fail(kNotWritten, error);
    }
    // The pixels belong to the pipeline: everything above is done with them before it goes.
    times.time("destroyCapture", [&] { return object->destroyCapture(); });
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    grab::GrabOptions options;
    std::string error;
    if (!grab::parseGrabOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "morven-grab: %s\n%s", error.c_str(), grab::kGrabUsage);
        return kBadArguments;
    }
    if (options.help) {
        std::fputs(grab::kGrabUsage, stdout);
        return kSuccess;
    }
    if (!grab::canWriteImageAs(options.output))
        return fail(kBadArguments, "no image format is known for " + options.output + " (" + grab::kImageFormats + ")");

    const HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr))
        return fail(kNoObject, "CoInitialize failed: " + tools::describeResult(hr));

    StepTimes times;
    ICMORVENProc* object = nullptr;
    int result = times.time("create object", [&] { return createObject(object); });
    if (result == kSuccess) {
        result = grabFrame(object, options, times);
        object->Release();
    }
    CoUninitialize();

    if (result == kSuccess) {
        times.print();
        std::printf("wrote %s\n", options.output.c_str());
        if (!options.raw.empty())
            std::printf("wrote %s (the buffer as handed out)\n", options.raw.c_str());
    }
    return result;
}
