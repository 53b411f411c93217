// Arbitrary bytes as a video file through the whole component: MORVEN.ocx is
// registered into a scratch registry, the class created through COM, and each input
// goes through createCapture, startCapture, Grab and destroyCapture, without and
// with the flip. Every byte of a frame handed out is read, so that a buffer shorter
// than its geometry is caught.
#include "capture/MORVEN.h"
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "tests/support/ScratchRegistry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

ICMORVENProc* g_object = nullptr;
// The registry's directory holds the input file too; both go at exit.
std::optional<testkit::ScratchRegistry> g_registry;
std::string g_input;

std::string besideMe(const char* name)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    return path.substr(0, path.find_last_of('/') + 1) + name;
}

[[noreturn]] void giveUp(const char* what)
{
    std::fprintf(stderr, "fuzz-capture: %s\n", what);
    std::exit(1);
}

void grabOnce(BSTR path, VARIANT_BOOL flip)
{
    VARIANT_BOOL created = 7;
    const HRESULT hr = g_object->createCapture(path, flip, &created);
    if (hr != (created ? S_OK : S_FALSE) || (created != 0 && created != 1))
        __builtin_trap();
    if (created) {
        g_object->startCapture();
        MORImageStruct frame{};
        g_object->Grab(&frame);
        if (frame.data) {
            if (frame.width <= 0 || frame.height == 0 || frame.channels < 1 || frame.depth != 8)
                __builtin_trap();
            const size_t rows = static_cast<size_t>(frame.height < 0 ? -static_cast<int64_t>(frame.height)
                                                                      : frame.height);
            const size_t pitch = (static_cast<size_t>(frame.width) * static_cast<size_t>(frame.channels) + 3) & ~size_t{3};
            volatile uint8_t sum = 0;
            for (size_t i = 0; i < rows * pitch; ++i)
                sum = static_cast<uint8_t>(sum + frame.data[i]);
        }
    }
    g_object->destroyCapture();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_registry.emplace();
    g_input = g_registry->directory().file("input.video");

    const std::string module = besideMe("MORVEN.ocx");
    HMODULE library = LoadLibraryA(module.c_str());
    if (!library)
        giveUp("cannot load MORVEN.ocx beside the fuzzer");
    auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(library, "DllRegisterServer"));
    if (!registerServer || FAILED(registerServer()))
        giveUp("DllRegisterServer failed");

    if (FAILED(CoInitialize(nullptr)))
        giveUp("CoInitialize failed");
    if (FAILED(CoCreateInstance(CLSID_CCMORVENProc, nullptr, CLSCTX_INPROC_SERVER, IID_ICMORVENProc,
                                reinterpret_cast<void**>(&g_object))))
        giveUp("CoCreateInstance failed");
    // The library stays loaded with the object.
    FreeLibrary(library);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(g_input.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        giveUp("cannot write the input file");
    std::u16string wide(g_input.begin(), g_input.end());
    BSTR path = SysAllocString(wide.c_str());
    grabOnce(path, 0);
    grabOnce(path, VARIANT_TRUE);
    SysFreeString(path);
    return 0;
}
