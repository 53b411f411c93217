#include "tests/windows/WindowsTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace wintest {

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

bool g_registered = false;
std::string g_registrationProblem = "the test environment did not run";

} // namespace

std::string modulePath()
{
    const std::string given = environment("MORVEN_OCX");
    return fullPath(given.empty() ? exeDirectory() + "MORVEN.ocx" : windowsPath(given));
}

std::string mediaDirectory()
{
    std::string dir = windowsPath(environment("MORVEN_TEST_MEDIA"));
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\';
    return dir;
}

std::wstring widen(const std::string& ansi)
{
    if (ansi.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
    return wide;
}

std::wstring fromCodePage(const char* bytes, UINT codePage)
{
    const int length = MultiByteToWideChar(codePage, 0, bytes, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

std::string guidText(const GUID& guid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

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

std::optional<DWORD> regsvr32(bool unregister, std::string& error)
{
    return runProcess(std::string("regsvr32.exe /s ") + (unregister ? "/u " : "") + "\"" + modulePath() + "\"",
                      60000, error);
}

bool moduleRegistered()
{
    return g_registered;
}

const std::string& registrationProblem()
{
    return g_registrationProblem;
}

void setRegistrationState(bool registered, const std::string& problem)
{
    g_registered = registered;
    g_registrationProblem = problem;
}

std::optional<std::wstring> readText(HKEY root, const std::string& path, const char* valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring name = valueName ? widen(valueName) : std::wstring();
    const wchar_t* wideName = valueName ? name.c_str() : nullptr;
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::wstring> text;
    if (RegQueryValueExW(key, wideName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, wideName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS)
            text = std::wstring(data.data());
    }
    RegCloseKey(key);
    return text;
}

std::vector<Clip> loadClips(std::string& error)
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

} // namespace wintest
