// The Windows side of the host tests: MORVEN.ocx beside the program (or
// $MORVEN_OCX) registered by the platform's regsvr32, the clips and FFmpeg's
// frames made natively beforehand into $MORVEN_TEST_MEDIA, message boxes
// found on screen and closed by a watcher thread.
#include "platform/TypeLib.h"
#include "tests/host/HostEnvironment.h"
#include "tests/windows/MessageBoxWatcher.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

namespace host {

namespace {

std::string exeDirectory()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    const size_t cut = dir.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : dir.substr(0, cut + 1);
}

std::string fullPath(const std::string& path)
{
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full, length) : path;
}

// A Unix path given through the environment is reached through drive Z:.
std::string windowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes.clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return true;
}

std::string mediaDirectory()
{
    std::string dir = windowsPath(environment("MORVEN_TEST_MEDIA"));
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\';
    return dir;
}

// Runs a command line, waits at most `timeoutMs`; the exit code, or nullopt
// (with the reason in `error`) when it could not start or did not end in time.
std::optional<DWORD> runProcess(const std::string& commandLine, DWORD timeoutMs, std::string& error)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        error = "cannot start " + commandLine + " (error " + std::to_string(GetLastError()) + ")";
        return std::nullopt;
    }
    CloseHandle(process.hThread);
    std::optional<DWORD> result;
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        error = commandLine + " did not end within " + std::to_string(timeoutMs / 1000) + " s";
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result = code;
    }
    CloseHandle(process.hProcess);
    return result;
}

} // namespace

std::string modulePath()
{
    const std::string given = environment("MORVEN_OCX");
    return fullPath(given.empty() ? exeDirectory() + "MORVEN.ocx" : windowsPath(given));
}

std::string runRegistrationProgram(bool unregister)
{
    const std::string command =
        std::string("regsvr32.exe /s ") + (unregister ? "/u " : "") + "\"" + modulePath() + "\"";
    std::string error;
    const std::optional<DWORD> code = runProcess(command, 60000, error);
    if (!code)
        return error;
    return *code == 0 ? "" : command + " exited with " + std::to_string(*code);
}

std::string scratchFolder()
{
    char tempDir[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, tempDir);
    return length > 0 && length < MAX_PATH ? std::string(tempDir, length) : exeDirectory();
}

bool copyFile(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

void removeFile(const std::string& path)
{
    DeleteFileA(path.c_str());
}

std::vector<Clip> testClips(std::string& error)
{
    const std::string dir = mediaDirectory();
    if (dir.empty()) {
        error = "MORVEN_TEST_MEDIA names no media folder";
        return {};
    }
    std::vector<uint8_t> manifest;
    if (!readFile(dir + "media.txt", manifest)) {
        error = "cannot read " + dir + "media.txt";
        return {};
    }
    std::vector<Clip> clips;
    std::istringstream lines(std::string(manifest.begin(), manifest.end()));
    Clip clip;
    std::string reference;
    while (lines >> clip.name >> clip.width >> clip.height >> reference) {
        clip.path = dir + clip.name;
        clip.reference.width = clip.width;
        clip.reference.height = clip.height;
        if (!readFile(dir + reference, clip.reference.pixels) ||
            clip.reference.pixels.size() != static_cast<size_t>(clip.width) * clip.height * 3) {
            error = "cannot read the reference frame " + dir + reference;
            return {};
        }
        clips.push_back(clip);
    }
    if (clips.empty())
        error = dir + "media.txt lists no clips";
    return clips;
}

struct MessageBoxAnswerer::State {
    explicit State(std::vector<std::string> captions) : watcher(std::move(captions), 30000) {}
    wintest::MessageBoxWatcher watcher;
};

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<std::string> captions)
    : m_state(std::make_unique<State>(std::move(captions)))
{
}

MessageBoxAnswerer::~MessageBoxAnswerer() = default;

std::vector<ShownBox> MessageBoxAnswerer::stop()
{
    std::vector<ShownBox> boxes;
    for (const wintest::ShownBox& box : m_state->watcher.stop())
        boxes.push_back({box.caption, box.text});
    return boxes;
}

Text storedHelpText(const char* bytes)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes, -1, nullptr, 0);
    if (length <= 1)
        return {};
    Text text(static_cast<size_t>(length), OLECHAR(0));
    MultiByteToWideChar(CP_ACP, 0, bytes, -1, text.data(), length);
    text.resize(static_cast<size_t>(length - 1));
    return text;
}

bool helpStringsReadAs936()
{
    return GetACP() == 936;
}

int libraryPointerSize()
{
    return static_cast<int>(sizeof(void*));
}

double frameTolerance()
{
    // Rounding and chroma upsampling differ; a frame in the wrong row or
    // channel order is far beyond this.
    return 6.0;
}

unsigned short libraryFlags()
{
    return LIBFLAG_FHASDISKIMAGE;
}

std::string setUpHost()
{
    const std::string module = modulePath();
    if (GetFileAttributesA(module.c_str()) == INVALID_FILE_ATTRIBUTES)
        return module + " does not exist";
    return runRegistrationProgram(false);
}

void tearDownHost()
{
    runRegistrationProgram(true);
}

} // namespace host
