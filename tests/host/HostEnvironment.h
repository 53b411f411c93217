// What a host test needs that each platform provides its own way: the module
// and its registration, a folder to write into, the test clips, answering the
// message boxes a call shows, and the few answers in which the Linux runtime
// and the real platform legitimately differ. tests/host/linux/ and
// tests/host/windows/ each define these; the tests themselves are one source.
#pragma once

#include "platform/Types.h"
#include "tests/support/Frames.h"

#include <memory>
#include <string>
#include <vector>

namespace host {

using Text = std::basic_string<OLECHAR>;

// Full path of MORVEN.ocx, as registration writes it.
std::string modulePath();
// The platform's registration program on the module (/s, with /u to
// unregister): "" when it exited with 0, else what went wrong.
std::string runRegistrationProgram(bool unregister);
// A folder of this run's own, with a trailing separator.
std::string scratchFolder();
// Copies a file; false when that fails.
bool copyFile(const std::string& from, const std::string& to);
void removeFile(const std::string& path);

// One clip and FFmpeg's own first frame of it.
struct Clip {
    std::string name;
    std::string path;
    int width = 0;
    int height = 0;
    testmedia::Frame reference;
};
// The single-frame clips of the capture tests; empty with `error` set when
// they cannot be had.
std::vector<Clip> testClips(std::string& error);

struct ShownBox {
    std::string caption;
    std::string text;
    bool operator==(const ShownBox&) const = default;
};

// Answers OK to the message boxes shown while it lives, expected with these
// captions in this order (any other box too, at the latest after 30 s, so that
// nothing stays blocked), and records them.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(std::vector<std::string> captions);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Stops answering; the boxes in the order they were shown.
    std::vector<ShownBox> stop();

    struct State;

private:
    std::unique_ptr<State> m_state;
};

// Where the platforms differ.

// The library's help strings are stored as code page 936 bytes. The Linux
// runtime always reads them as 936; the real platform reads them in the
// process's ANSI code page, so they read as meant only where that is 936.
Text storedHelpText(const char* bytes);
// Whether the process reads stored help strings as code page 936.
bool helpStringsReadAs936();
// The word size the library is laid out for (vtable slots, the record's
// pointer): the Linux module carries the 32-bit library; the Windows build's
// library is made for its own word size, and registered under its system kind
// (win32 or win64).
int libraryPointerSize();
// The largest mean difference per byte from FFmpeg's first frame: the Linux
// runtime decodes with FFmpeg itself (JPEG with libjpeg-turbo), the real
// platform with decoders of its own.
double frameTolerance();
// Library flags: the Windows build's compiler marks its libraries "has disk image".
unsigned short libraryFlags();

// Sets up the process before the first test (the registry it uses, the
// module registered) and undoes it after the last; "" or why it failed.
std::string setUpHost();
void tearDownHost();

} // namespace host
