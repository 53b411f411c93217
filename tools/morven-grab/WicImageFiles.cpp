// PNG and JPEG through the platform's own imaging component (WIC).
#include "tools/morven-grab/ImageFiles.h"

#include "tools/common/ResultText.h"

#include <windows.h>
#include <ocidl.h>
#include <wincodec.h>

#include <string>
#include <vector>

namespace grab {

namespace {

// JPEG quality as the Linux build writes it, on WIC's scale of 0 to 1.
constexpr float kJpegQuality = 0.95f;

template <class T>
class Ref {
public:
    Ref() = default;
    ~Ref()
    {
        if (p_)
            p_->Release();
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** put() { return &p_; }
    void reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// Command-line paths are in the ANSI code page.
std::wstring widePath(const std::string& path)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

// One encode; the first failing step is named in `step`.
HRESULT encode(const FrameView& frame, const std::wstring& path, const GUID& container, bool& created,
               const char*& step)
{
    Ref<IWICImagingFactory> factory;
    step = "creating the imaging factory";
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.put()));
    if (FAILED(hr))
        return hr;
    Ref<IWICStream> stream;
    step = "creating the file";
    if (FAILED(hr = factory->CreateStream(stream.put())) ||
        FAILED(hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)))
        return hr;
    created = true;

    Ref<IWICBitmapEncoder> encoder;
    Ref<IWICBitmapFrameEncode> encodedFrame;
    Ref<IPropertyBag2> options;
    step = "creating the encoder";
    if (FAILED(hr = factory->CreateEncoder(container, nullptr, encoder.put())) ||
        FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(hr = encoder->CreateNewFrame(encodedFrame.put(), options.put())))
        return hr;
    if (container == GUID_ContainerFormatJpeg && options.get()) {
        PROPBAG2 option{};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R4;
        value.fltVal = kJpegQuality;
        // An encoder without the option keeps its own quality.
        options->Write(1, &option, &value);
    }
    step = "setting up the frame";
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(hr = encodedFrame->Initialize(options.get())) ||
        FAILED(hr = encodedFrame->SetSize(static_cast<UINT>(frame.width), static_cast<UINT>(frame.height))) ||
        FAILED(hr = encodedFrame->SetPixelFormat(&format)))
        return hr;
    // The encoder may answer with another format it would rather have: we only hand out 24-bit BGR.
    if (format != GUID_WICPixelFormat24bppBGR)
        return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;

    step = "writing the pixels";
    const UINT rowBytes = static_cast<UINT>(frame.width) * 3;
    std::vector<BYTE> packed(rowBytes);
    for (int y = 0; y < frame.height; ++y) {
        BYTE* row = packed.data();
        if (frame.channels == 3)
            row = const_cast<BYTE*>(frame.row(y));
        else
            packRow(frame, y, false, row);
        if (FAILED(hr = encodedFrame->WritePixels(1, rowBytes, rowBytes, row)))
            return hr;
    }
    step = "finishing the file";
    if (FAILED(hr = encodedFrame->Commit()) || FAILED(hr = encoder->Commit()))
        return hr;
    return stream->Commit(STGC_DEFAULT);
}

bool writeWithWic(const FrameView& frame, const std::string& path, const GUID& container, std::string& error)
{
    const std::wstring wide = widePath(path);
    bool created = false;
    const char* step = "";
    const HRESULT hr = encode(frame, wide, container, created, step);
    if (FAILED(hr)) {
        // Everything is released by now, so the part written can go.
        if (created)
            DeleteFileW(wide.c_str());
        error = "cannot write " + path + ": WIC failed " + step + ": " + tools::describeResult(hr);
        return false;
    }
    return true;
}

} // namespace

bool writePng(const FrameView& frame, const std::string& path, std::string& error)
{
    return writeWithWic(frame, path, GUID_ContainerFormatPng, error);
}

bool writeJpeg(const FrameView& frame, const std::string& path, std::string& error)
{
    return writeWithWic(frame, path, GUID_ContainerFormatJpeg, error);
}

} // namespace grab
