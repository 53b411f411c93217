// The MORVEN capture component as a host sees it: the class, its interface,
// the image record, and the type library that describes them.
#pragma once

#include "platform/Automation.h"

#include <cstddef>
#include <cstdint>

// Type library MORVEN 1.0.
inline constexpr GUID LIBID_MORVEN = {0x52BA1FC6, 0x03A4, 0x409D, {0x9C, 0x95, 0xEF, 0xB3, 0x69, 0xE2, 0xB5, 0x31}};
// Coclass CCMORVENProc.
inline constexpr CLSID CLSID_CCMORVENProc = {0xFB82882C, 0xA2F5, 0x48F3, {0x8A, 0x8D, 0xF3, 0x36, 0x89, 0x03, 0x41, 0xD1}};
// Interface ICMORVENProc.
inline constexpr IID IID_ICMORVENProc = {0x4A47467B, 0x726B, 0x4B87, {0x80, 0x77, 0x14, 0x86, 0x07, 0x15, 0xE2, 0x1E}};

#define MORVEN_PROGID "MORVEN.CMORVENProc.1"
#define MORVEN_VERSION_INDEPENDENT_PROGID "MORVEN.CMORVENProc"

// One decoded frame as Grab hands it out. The pixels belong to the component:
// packed B, G, R bytes, each row padded to a multiple of 4 bytes.
struct MORImageStruct {
    int32_t width;
    int32_t height;
    int32_t depth;    // bits per channel: 8
    int32_t channels; // bytes per pixel: 3
    unsigned char* data;
};
static_assert(offsetof(MORImageStruct, width) == 0 && offsetof(MORImageStruct, height) == 4 &&
                  offsetof(MORImageStruct, depth) == 8 && offsetof(MORImageStruct, channels) == 12 &&
                  offsetof(MORImageStruct, data) == 16,
              "hosts read MORImageStruct at fixed offsets");
// 20 bytes on the 32-bit platform; the 8-byte pointer makes it 24 on a 64-bit build.
static_assert(sizeof(MORImageStruct) == (sizeof(void*) == 8 ? 24 : 20),
              "MORImageStruct is 20 bytes on 32-bit builds, 24 on 64-bit builds");

struct ICMORVENProc : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE createCapture(BSTR aviFileString, VARIANT_BOOL bFlipImageHorizontally,
                                                    VARIANT_BOOL* bCaptureCreated) = 0;
    virtual HRESULT STDMETHODCALLTYPE Grab(MORImageStruct* imageStruct) = 0;
    virtual HRESULT STDMETHODCALLTYPE destroyCapture() = 0;
    virtual HRESULT STDMETHODCALLTYPE startCapture() = 0;
};
