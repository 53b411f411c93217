// capture-cycles FILE N [--max-faults-per-cycle K]: N create/start/grab/destroy
// cycles on one session, for a leak checker to watch. With FILE "--generated"
// a tiny Motion-JPEG clip is made first; with "--generated-h264" a 640x480
// H.264 one. Exits 1 if any cycle does not go as a host expects, if the
// session leaves this thread's COM initialisation other than it found it, or
// if the cycles after the first few fault in more than K fresh pages each on
// average (memory a cycle gave back and the next one must take from the
// system again).
#include "capture/CaptureSession.h"
#include "tests/support/TestMedia.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

constexpr long kWarmUpCycles = 5;

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

int runCycles(const std::string& file, long cycles, long maxFaultsPerCycle)
{
    // The host's own initialisation, as a host holds it around the object: a
    // session that gives back one more than it took would end this one.
    if (CoInitialize(nullptr) != S_OK) {
        std::fprintf(stderr, "the thread was already initialised\n");
        return 1;
    }
    std::u16string wide = testmedia::toUtf16(file);
    BSTR path = SysAllocString(reinterpret_cast<const OLECHAR*>(wide.c_str()));

    CCaptureSession session;
    session.initialize();
    long failures = 0;
    long faultsAfterWarmUp = 0;
    for (long cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == kWarmUpCycles)
            faultsAfterWarmUp = minorFaults();
        VARIANT_BOOL created = 0;
        VARIANT_BOOL flip = static_cast<VARIANT_BOOL>(cycle & 1);
        if (session.createCapture(path, flip, &created) != S_OK || created != 1) {
            std::fprintf(stderr, "cycle %ld: createCapture failed\n", cycle);
            ++failures;
            continue;
        }
        session.startCapture();
        MORImageStruct image = {};
        session.Grab(&image);
        if (image.data == nullptr || image.width <= 0 || image.channels != 3) {
            std::fprintf(stderr, "cycle %ld: no frame\n", cycle);
            ++failures;
        }
        if (session.destroyCapture() != S_FALSE) {
            std::fprintf(stderr, "cycle %ld: destroyCapture found no session\n", cycle);
            ++failures;
        }
    }
    if (maxFaultsPerCycle >= 0 && cycles > kWarmUpCycles) {
        const long perCycle = (minorFaults() - faultsAfterWarmUp) / (cycles - kWarmUpCycles);
        std::printf("%ld fresh pages a cycle after the first %ld\n", perCycle, kWarmUpCycles);
        if (perCycle > maxFaultsPerCycle) {
            std::fprintf(stderr, "cycles fault in %ld fresh pages each, more than %ld\n", perCycle,
                         maxFaultsPerCycle);
            ++failures;
        }
    }
    SysFreeString(path);
    // The last teardown gave back what the session took: only the host's hold is left.
    if (CoInitialize(nullptr) != S_FALSE) {
        std::fprintf(stderr, "the session gave back the host's COM initialisation\n");
        ++failures;
    } else {
        CoUninitialize();
    }
    CoUninitialize();
    if (CoInitialize(nullptr) != S_OK) {
        std::fprintf(stderr, "the session kept a COM initialisation\n");
        ++failures;
    }
    CoUninitialize();
    std::printf("%ld cycles, %ld failed\n", cycles, failures);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    long maxFaultsPerCycle = -1;
    if (argc == 5 && std::strcmp(argv[3], "--max-faults-per-cycle") == 0)
        maxFaultsPerCycle = std::strtol(argv[4], nullptr, 10);
    else if (argc != 3) {
        std::fprintf(stderr, "usage: capture-cycles FILE|--generated|--generated-h264 N [--max-faults-per-cycle K]\n");
        return 2;
    }
    long cycles = std::strtol(argv[2], nullptr, 10);
    std::string file = argv[1];
    if (file != "--generated" && file != "--generated-h264")
        return runCycles(file, cycles, maxFaultsPerCycle);

    int result = 0;
    {
        testkit::ScratchDirectory dir("morven-cycles");
        std::string clip = file == "--generated" ? testmedia::makeMjpegAvi(dir.path(), 32, 16)
                                                 : testmedia::makeH264Mp4(dir.path(), 640, 480, 25);
        result = runCycles(clip, cycles, maxFaultsPerCycle);
    }
    return result;
}
