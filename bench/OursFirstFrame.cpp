// Our path, as a host takes it: the capture component's own calls.
#include "bench/FirstFrame.h"

#include "capture/CaptureSession.h"
#include "platform/Automation.h"

#include <chrono>

namespace bench {

namespace {

std::u16string widen(const std::string& utf8)
{
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 3;
        uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

} // namespace

bool oursFirstFrame(const std::string& path, double& ms)
{
    std::u16string wide = widen(path);
    BSTR file = SysAllocString(wide.c_str());
    CCaptureSession session;
    session.initialize();

    auto start = std::chrono::steady_clock::now();
    VARIANT_BOOL created = 0;
    session.createCapture(file, 0, &created);
    MORImageStruct image{};
    if (created) {
        session.startCapture();
        session.Grab(&image);
    }
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    bool ok = created && image.data && image.width > 0;
    session.destroyCapture();
    SysFreeString(file);
    return ok;
}

} // namespace bench
