// A host's whole path: the class registered by hand, created through COM by
// its ProgID, and a capture driven to the first frame of a generated clip.
#include "platform/Registry.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace servertest;

namespace {

const char kClassKey[] = "CLSID\\{FB82882C-A2F5-48F3-8A8D-F336890341D1}";
const char kClsidText[] = "{FB82882C-A2F5-48F3-8A8D-F336890341D1}";

void setString(HKEY root, const std::string& subKey, const char* name, const std::string& value)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS)
        << subKey;
    ASSERT_EQ(RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS)
        << subKey;
    RegCloseKey(hKey);
}

void registerByHand()
{
    setString(HKEY_CLASSES_ROOT, MORVEN_PROGID, nullptr, "CCMORVENProc Object");
    setString(HKEY_CLASSES_ROOT, std::string(MORVEN_PROGID) + "\\CLSID", nullptr, kClsidText);
    setString(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID, nullptr, "CCMORVENProc Object");
    setString(HKEY_CLASSES_ROOT, std::string(MORVEN_VERSION_INDEPENDENT_PROGID) + "\\CLSID", nullptr, kClsidText);
    setString(HKEY_CLASSES_ROOT, std::string(MORVEN_VERSION_INDEPENDENT_PROGID) + "\\CurVer", nullptr,
              MORVEN_PROGID);
    setString(HKEY_CLASSES_ROOT, kClassKey, nullptr, "CCMORVENProc Object");
    setString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", nullptr, modulePath());
    setString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", "ThreadingModel", "apartment");
}

BSTR bstrOf(const std::string& path)
{
    std::u16string wide(path.size() + 1, u'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return n > 0 ? SysAllocString(wide.c_str()) : nullptr;
}

TEST(EndToEnd, HostCreatesByProgIdAndGrabsTheFirstFrame)
{
    ScratchRegistry registry;
    registerByHand();
    testkit::ScratchDirectory dir("morven-server-e2e");
    const int width = 64, height = 48;
    std::string clip = testmedia::makeMjpegAvi(dir.path(), width, height);
    testmedia::Frame expected = testmedia::expectedFirstFrame(clip);

    ASSERT_GE(CoInitialize(nullptr), 0);
    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromProgID(u"" MORVEN_VERSION_INDEPENDENT_PROGID, &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_CCMORVENProc);

    ICMORVENProc* pProc = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICMORVENProc,
                               reinterpret_cast<void**>(&pProc)),
              S_OK);
    ASSERT_NE(pProc, nullptr);

    BSTR path = bstrOf(clip);
    VARIANT_BOOL created = 7;
    EXPECT_EQ(pProc->createCapture(path, 1, &created), S_OK);
    SysFreeString(path);
    ASSERT_EQ(created, 1);
    EXPECT_EQ(pProc->startCapture(), S_OK);

    MORImageStruct image = {};
    EXPECT_EQ(pProc->Grab(&image), S_OK);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    EXPECT_EQ(image.depth, 8);
    EXPECT_EQ(image.channels, 3);
    ASSERT_NE(image.data, nullptr);

    // Flipped: top row first, each row padded to 4 bytes.
    const int stride = (width * 3 + 3) & ~3;
    long difference = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = image.data + y * stride + x * 3;
            testmedia::Bgr want = expected.at(x, y);
            difference += std::abs(p[0] - want.b) + std::abs(p[1] - want.g) + std::abs(p[2] - want.r);
        }
    EXPECT_LT(static_cast<double>(difference) / (width * height * 3), 4.0);

    EXPECT_EQ(pProc->destroyCapture(), S_FALSE);
    EXPECT_EQ(pProc->Release(), 0u);
    CoFreeUnusedLibraries();
    CoUninitialize();
}

} // namespace
