// The Linux side of the host tests: the built module registered by the
// runtime's regsvr into a registry of the run's own, clips made with FFmpeg,
// message boxes taken by the runtime's handler.
#include "platform/Kernel.h"
#include "platform/UserInterface.h"
#include "platform/linux/ComRtExtensions.h"
#include "tests/host/HostEnvironment.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/TestMedia.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace host {

namespace {

std::unique_ptr<testkit::ScratchRegistry> g_registry;

testkit::ScratchDirectory& scratch()
{
    static testkit::ScratchDirectory directory("morven-host");
    return directory;
}

} // namespace

std::string modulePath()
{
    return std::filesystem::weakly_canonical(HOST_MODULE_PATH).string();
}

std::string runRegistrationProgram(bool unregister)
{
    std::vector<std::string> argv{HOST_REGSVR_PATH, "/s"};
    if (unregister)
        argv.push_back("/u");
    argv.push_back(modulePath());
    const testkit::ProcessResult result = testkit::runProcess(argv);
    if (result.exitCode == 0)
        return "";
    return "regsvr " + std::string(unregister ? "/u " : "") + modulePath() + " exited with " +
           std::to_string(result.exitCode) + ": " + result.err;
}

std::string scratchFolder()
{
    return scratch().path() + "/";
}

bool copyFile(const std::string& from, const std::string& to)
{
    std::error_code error;
    return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
}

void removeFile(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove(path, error);
}

std::vector<Clip> testClips(std::string& error)
{
    // The clips the Windows run gets: single frames, rows that need padding.
    static std::vector<Clip> clips;
    static std::string problem;
    static std::once_flag made;
    std::call_once(made, [] {
        try {
            for (const std::string& file : {testmedia::makeMjpegAvi(scratch().path(), 62, 46, 1),
                                            testmedia::makeH264Mp4(scratch().path(), 66, 50, 1)}) {
                Clip clip;
                clip.path = file;
                clip.name = std::filesystem::path(file).filename().string();
                clip.reference = testmedia::expectedFirstFrame(file);
                clip.width = clip.reference.width;
                clip.height = clip.reference.height;
                clips.push_back(clip);
            }
        } catch (const std::exception& e) {
            clips.clear();
            problem = e.what();
        }
    });
    error = problem;
    return clips;
}

struct MessageBoxAnswerer::State {
    ComRtMessageBoxHandler previous = nullptr;
    bool answering = true;
};

namespace {

std::vector<ShownBox>& shownBoxes()
{
    static std::vector<ShownBox> boxes;
    return boxes;
}

int answerBox(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    shownBoxes().push_back({caption ? caption : "<null>", text ? text : "<null>"});
    return IDOK;
}

} // namespace

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<std::string>) : m_state(std::make_unique<State>())
{
    shownBoxes().clear();
    m_state->previous = ComRtSetMessageBoxHandler(&answerBox);
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    stop();
}

std::vector<ShownBox> MessageBoxAnswerer::stop()
{
    if (m_state->answering) {
        ComRtSetMessageBoxHandler(m_state->previous);
        m_state->answering = false;
    }
    return shownBoxes();
}

Text storedHelpText(const char* bytes)
{
    const int length = MultiByteToWideChar(936, 0, bytes, -1, nullptr, 0);
    if (length <= 1)
        return {};
    Text text(static_cast<size_t>(length), OLECHAR(0));
    MultiByteToWideChar(936, 0, bytes, -1, text.data(), length);
    text.resize(static_cast<size_t>(length - 1));
    return text;
}

bool helpStringsReadAs936()
{
    return true;
}

int libraryPointerSize()
{
    return 4;
}

double frameTolerance()
{
    return 4.0;
}

unsigned short libraryFlags()
{
    return 0;
}

std::string setUpHost()
{
    g_registry = std::make_unique<testkit::ScratchRegistry>();
    return runRegistrationProgram(false);
}

void tearDownHost()
{
    runRegistrationProgram(true);
    g_registry.reset();
}

} // namespace host
