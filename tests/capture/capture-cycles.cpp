// capture-cycles FILE N: N create/start/grab/destroy cycles on one session,
// for a leak checker to watch. With FILE "--generated" a tiny Motion-JPEG
// clip is made first. Exits 1 if any cycle does not go as a host expects, or if
// the session leaves this thread's COM initialisation other than it found it.
#include "capture/CaptureSession.h"
#include "tests/support/TestMedia.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

int runCycles(const std::string& file, long cycles)
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
    for (long cycle = 0; cycle < cycles; ++cycle) {
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: capture-cycles FILE|--generated N\n");
        return 2;
    }
    long cycles = std::strtol(argv[2], nullptr, 10);
    std::string file = argv[1];
    if (file != "--generated")
        return runCycles(file, cycles);

    int result = 0;
    {
        testkit::ScratchDirectory dir("morven-cycles");
        result = runCycles(testmedia::makeMjpegAvi(dir.path(), 32, 16), cycles);
    }
    return result;
}
