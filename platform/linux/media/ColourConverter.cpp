#include "platform/linux/media/ColourConverter.h"

#include "platform/linux/media/BandConverter.h"
#include "platform/linux/media/MediaHooks.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <cstring>
#include <new>

namespace comrt::media {

namespace {

// Samples that may be out at one time; a one-shot run needs one.
constexpr int kMaxSamples = 8;

} // namespace

ColourConverter::ColourConverter()
    : MediaFilter(GUID_NULL), m_in(addPin(PINDIR_INPUT, u"XForm In")), m_out(addPin(PINDIR_OUTPUT, u"XForm Out"))
{
}

ColourConverter::~ColourConverter()
{
    deactivate();
}

HRESULT ColourConverter::create(MediaFilter** out)
{
    *out = new (std::nothrow) ColourConverter();
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ColourConverter::checkInputType(MediaPin&, MediaPin&, const AM_MEDIA_TYPE& mt)
{
    if (mt.majortype != MEDIATYPE_Video || mt.subtype != MEDIASUBTYPE_DecodedFrame ||
        mt.formattype != FORMAT_VideoInfo || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return VFW_E_TYPE_NOT_ACCEPTED;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    if (!frameSizeAcceptable(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT ColourConverter::getOutputType(MediaPin&, int index, AM_MEDIA_TYPE& mt)
{
    const VIDEOINFOHEADER* in = m_in.connectionType().videoInfo();
    if (index != 0 || !m_in.isConnected() || !in)
        return S_FALSE;
    LONG height = in->bmiHeader.biHeight;
    if (hookTopDownOutput())
        height = -height;
    HRESULT hr = makeVideoInfoType(mt, MEDIASUBTYPE_RGB24, in->bmiHeader.biWidth, height, 24, BI_RGB,
                                   in->AvgTimePerFrame);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT ColourConverter::activate()
{
    const VIDEOINFOHEADER* out = m_out.connectionType().videoInfo();
    if (!out)
        return S_OK; // nothing downstream: frames are dropped
    m_width = out->bmiHeader.biWidth;
    m_topDown = out->bmiHeader.biHeight < 0;
    m_height = m_topDown ? -out->bmiHeader.biHeight : out->bmiHeader.biHeight;
    if (!frameSizeAcceptable(m_width, m_height))
        return VFW_E_INVALIDMEDIATYPE;
    m_pitch = (size_t(m_width) * 3 + 3) & ~size_t(3);
    m_pool = SamplePool::create(LONG(m_pitch * size_t(m_height)), kMaxSamples);
    m_pictures.reset(new (std::nothrow) PictureConverter());
    if (!m_pool || !m_pictures)
        return E_OUTOFMEMORY;
    m_failed = false;
    return S_OK;
}

void ColourConverter::deactivate()
{
    // The samples' memory stays valid up to here, and goes now.
    if (m_pool) {
        m_pool->decommit();
        m_pool.reset();
    }
    m_pictures.reset();
}

HRESULT ColourConverter::fail(HRESULT hr)
{
    if (!m_failed) {
        m_failed = true;
        notifyEvent(EC_ERRORABORT, hr);
    }
    return hr;
}

HRESULT ColourConverter::convert(const AVFrame& frame, MediaSample& sample)
{
    // Exactly one pass, from the decoder's planes into the sample's buffer.
    uint8_t* base = sample.data();
    HRESULT hr = m_pictures->convert(frame, base, m_width, m_height, m_pitch, !m_topDown);
    if (FAILED(hr))
        return hr;
    clearRowPadding(sample);
    return S_OK;
}

bool ColourConverter::takeConverted(ConvertedPicture& picture, MediaSample& sample)
{
    // The same width, height and pitch make the same size as the sample's buffer.
    if (!picture.buffer || m_topDown || picture.width != m_width || picture.height != m_height ||
        picture.pitch != m_pitch)
        return false;
    sample.exchangeBuffer(picture.buffer);
    clearRowPadding(sample);
    countPictureConvertedWhileDecoded();
    return true;
}

void ColourConverter::clearRowPadding(MediaSample& sample)
{
    // The padding at the end of each row is defined: zero.
    const size_t used = size_t(m_width) * 3;
    if (used != m_pitch)
        for (int y = 0; y < m_height; ++y)
            std::memset(sample.data() + m_pitch * size_t(y) + used, 0, m_pitch - used);
}

HRESULT ColourConverter::receive(MediaPin&, StreamItem& item)
{
    if (state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_failed)
        return E_FAIL;
    if (!item.frame)
        return E_UNEXPECTED;
    if (!m_out.isConnected() || !m_pool || !m_pictures)
        return S_OK;

    MediaSample* sample = m_pool->getSample();
    if (!sample)
        return fail(E_OUTOFMEMORY);
    HRESULT hr = item.converted && takeConverted(*item.converted, *sample) ? S_OK : convert(*item.frame, *sample);
    if (FAILED(hr)) {
        sample->Release();
        return fail(hr);
    }
    if (item.hasTime)
        sample->SetTime(&item.start, &item.end);
    sample->SetSyncPoint(item.syncPoint);
    StreamItem out;
    out.sample = sample;
    out.hasTime = item.hasTime;
    out.start = item.start;
    out.end = item.end;
    out.syncPoint = item.syncPoint;
    hr = m_out.deliver(out);
    sample->Release();
    return hr;
}

} // namespace comrt::media
