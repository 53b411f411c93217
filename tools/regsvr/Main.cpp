// regsvr: registers or unregisters an in-process server by calling its own
// DllRegisterServer or DllUnregisterServer export.
//
//   regsvr [/u] [/s] MODULE
//
// Exit codes, as the platform's registration tool gives them:
//   0 success, 1 bad arguments, 2 COM could not be initialised,
//   3 the module could not be loaded, 4 the entry point is missing,
//   5 the entry point reported a failure.
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "tools/common/ResultText.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace {

enum ExitCode { kSuccess = 0, kBadArguments = 1, kComFailed = 2, kLoadFailed = 3, kNoEntryPoint = 4, kCallFailed = 5 };

struct Options {
    bool unregister = false;
    bool silent = false;
    bool help = false;
    std::string module;
    std::string error; // why the arguments were refused, or empty
};

bool isFlag(std::string_view arg, char letter)
{
    return arg.size() == 2 && (arg[0] == '/' || arg[0] == '-') && (arg[1] | 0x20) == letter;
}

Options parseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (isFlag(arg, 'u'))
            options.unregister = true;
        else if (isFlag(arg, 's'))
            options.silent = true;
        else if (arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help")
            options.help = true;
        else if (arg.size() > 1 && arg[0] == '-')
            options.error = "unknown option " + std::string(arg);
        else if (arg.size() == 2 && arg[0] == '/' && !std::filesystem::exists(std::string(arg)))
            options.error = "unknown option " + std::string(arg);
        else if (!options.module.empty())
            options.error = "only one module can be given";
        else
            options.module = arg;
    }
    if (options.error.empty() && options.module.empty() && !options.help)
        options.error = "no module given";
    return options;
}

void printUsage(std::FILE* out)
{
    std::fputs("usage: regsvr [/u] [/s] MODULE\n"
               "  Calls DllRegisterServer in MODULE, or DllUnregisterServer with /u.\n"
               "  /s  silent: print nothing, report through the exit code only.\n"
               "  The registry is the file named by COMRT_REGISTRY, else $XDG_DATA_HOME/comrt/registry.db.\n"
               "exit codes: 0 success, 1 bad arguments, 2 COM not initialised, 3 module not loaded,\n"
               "            4 entry point missing, 5 entry point failed\n",
               out);
}

// The loader resolves a bare file name through the library search path, not the
// current directory; a module the user names by a path that exists is loaded from
// exactly there, so that the registered server path is the full one.
std::string modulePathToLoad(const std::string& given)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(given, ec))
        return given;
    std::filesystem::path absolute = std::filesystem::absolute(given, ec);
    return ec ? given : absolute.lexically_normal().string();
}

std::string win32Error(DWORD code)
{
    return "error " + std::to_string(code) + ", " + tools::describeResult(HRESULT_FROM_WIN32(code));
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseArguments(argc, argv);
    if (options.help) {
        printUsage(stdout);
        return kSuccess;
    }
    if (!options.error.empty()) {
        if (!options.silent) {
            std::fprintf(stderr, "regsvr: %s\n", options.error.c_str());
            printUsage(stderr);
        }
        return kBadArguments;
    }

    auto report = [&](std::FILE* out, const std::string& line) {
        if (!options.silent)
            std::fprintf(out, "%s\n", line.c_str());
    };
    const std::string& name = options.module;
    const char* entryName = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";

    HMODULE module = LoadLibraryA(modulePathToLoad(name).c_str());
    if (!module) {
        report(stderr, "LoadLibrary(\"" + name + "\") failed: " + win32Error(GetLastError()) + ".");
        return kLoadFailed;
    }

    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    auto entry = reinterpret_cast<EntryPoint>(GetProcAddress(module, entryName));
    if (!entry) {
        const DWORD error = GetLastError();
        report(stderr, name + " was loaded, but the " + entryName + " entry point was not found: " +
                           win32Error(error) + ".");
        FreeLibrary(module);
        return kNoEntryPoint;
    }

    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        report(stderr, std::string("CoInitialize failed. Return code was: ") + tools::describeResult(hr));
        FreeLibrary(module);
        return kComFailed;
    }
    hr = entry();
    CoUninitialize();

    int exitCode = kSuccess;
    if (SUCCEEDED(hr)) {
        std::string line = std::string(entryName) + " in " + name + " succeeded.";
        if (hr != S_OK)
            line += " Return code was: " + tools::describeResult(hr);
        report(stdout, line);
    } else {
        report(stderr, std::string(entryName) + " in " + name + " failed. Return code was: " + tools::describeResult(hr));
        exitCode = kCallFailed;
    }
    FreeLibrary(module);
    return exitCode;
}
