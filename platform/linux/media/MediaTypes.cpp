#include "platform/linux/media/MediaTypes.h"

#include "platform/Com.h"

#include <cstring>

namespace comrt::media {

void freeMediaTypeContents(AM_MEDIA_TYPE& mt)
{
    if (mt.pbFormat)
        CoTaskMemFree(mt.pbFormat);
    mt.pbFormat = nullptr;
    mt.cbFormat = 0;
    if (mt.pUnk)
        mt.pUnk->Release();
    mt.pUnk = nullptr;
}

HRESULT copyMediaType(AM_MEDIA_TYPE& dst, const AM_MEDIA_TYPE& src)
{
    dst = src;
    dst.pbFormat = nullptr;
    dst.cbFormat = 0;
    if (src.cbFormat && src.pbFormat) {
        dst.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src.cbFormat));
        if (!dst.pbFormat) {
            dst.pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(dst.pbFormat, src.pbFormat, src.cbFormat);
        dst.cbFormat = src.cbFormat;
    }
    if (dst.pUnk)
        dst.pUnk->AddRef();
    return S_OK;
}

bool mediaTypeMatches(const AM_MEDIA_TYPE& wanted, const AM_MEDIA_TYPE& offered)
{
    if (wanted.majortype != GUID_NULL && wanted.majortype != offered.majortype)
        return false;
    if (wanted.subtype != GUID_NULL && wanted.subtype != offered.subtype)
        return false;
    if (wanted.formattype != GUID_NULL && wanted.formattype != offered.formattype)
        return false;
    return true;
}

GUID fourccSubtype(DWORD fourcc)
{
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

HRESULT makeVideoInfoType(AM_MEDIA_TYPE& mt, const GUID& subtype, LONG width, LONG height, WORD bitCount,
                          DWORD compression, REFERENCE_TIME avgTimePerFrame)
{
    std::memset(&mt, 0, sizeof mt);
    auto* vih = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    if (!vih)
        return E_OUTOFMEMORY;
    std::memset(vih, 0, sizeof *vih);
    vih->AvgTimePerFrame = avgTimePerFrame;
    BITMAPINFOHEADER& bih = vih->bmiHeader;
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = width;
    bih.biHeight = height;
    bih.biPlanes = 1;
    bih.biBitCount = bitCount;
    bih.biCompression = compression;
    if (compression == BI_RGB && width > 0) {
        uint64_t pitch = ((uint64_t(width) * bitCount + 31) / 32) * 4;
        uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
        uint64_t size = pitch * rows;
        bih.biSizeImage = size <= 0xFFFFFFFFu ? DWORD(size) : 0;
    }

    mt.majortype = MEDIATYPE_Video;
    mt.subtype = subtype;
    mt.bFixedSizeSamples = compression == BI_RGB;
    mt.bTemporalCompression = compression != BI_RGB;
    mt.lSampleSize = bih.biSizeImage;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(VIDEOINFOHEADER);
    mt.pbFormat = reinterpret_cast<BYTE*>(vih);
    return S_OK;
}

MediaType::MediaType()
{
    std::memset(&m_mt, 0, sizeof m_mt);
}

MediaType::~MediaType()
{
    freeMediaTypeContents(m_mt);
}

HRESULT MediaType::assign(const AM_MEDIA_TYPE& src)
{
    if (&src == &m_mt)
        return S_OK;
    clear();
    HRESULT hr = copyMediaType(m_mt, src);
    if (FAILED(hr))
        clear();
    return hr;
}

void MediaType::clear()
{
    freeMediaTypeContents(m_mt);
    std::memset(&m_mt, 0, sizeof m_mt);
}

const VIDEOINFOHEADER* MediaType::videoInfo() const
{
    if (m_mt.formattype != FORMAT_VideoInfo || !m_mt.pbFormat || m_mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(m_mt.pbFormat);
}

} // namespace comrt::media
