// Media type records: copying, freeing and matching them by the platform's
// ownership rules (the format block comes from CoTaskMemAlloc and belongs to
// whoever holds the record).
#pragma once

#include "platform/DirectShow.h"

namespace comrt::media {

// Frees the format block and the pUnk reference of a record and zeroes them;
// the record itself stays.
void freeMediaTypeContents(AM_MEDIA_TYPE& mt);
// A deep copy into `dst` (whose old contents are not freed): E_OUTOFMEMORY
// leaves `dst` without a format block.
HRESULT copyMediaType(AM_MEDIA_TYPE& dst, const AM_MEDIA_TYPE& src);
// Whether `offered` satisfies `wanted`, where GUID_NULL in wanted's major
// type, subtype or format type matches anything.
bool mediaTypeMatches(const AM_MEDIA_TYPE& wanted, const AM_MEDIA_TYPE& offered);
// The subtype GUID the platform uses for a FOURCC.
GUID fourccSubtype(DWORD fourcc);

// A video type with a VIDEOINFOHEADER format block (CoTaskMemAlloc).
// biHeight is taken as given (negative: top-down); biSizeImage and
// lSampleSize are the padded row length times the height for uncompressed
// types (compression BI_RGB), else 0.
HRESULT makeVideoInfoType(AM_MEDIA_TYPE& mt, const GUID& subtype, LONG width, LONG height, WORD bitCount,
                          DWORD compression, REFERENCE_TIME avgTimePerFrame);

// Owns one record and its contents.
class MediaType {
public:
    MediaType();
    ~MediaType();
    MediaType(const MediaType&) = delete;
    MediaType& operator=(const MediaType&) = delete;

    AM_MEDIA_TYPE* operator->() { return &m_mt; }
    const AM_MEDIA_TYPE* operator->() const { return &m_mt; }
    AM_MEDIA_TYPE& get() { return m_mt; }
    const AM_MEDIA_TYPE& get() const { return m_mt; }
    HRESULT assign(const AM_MEDIA_TYPE& src);
    void clear();
    // The VIDEOINFOHEADER of the format block, or null.
    const VIDEOINFOHEADER* videoInfo() const;

private:
    AM_MEDIA_TYPE m_mt;
};

} // namespace comrt::media
