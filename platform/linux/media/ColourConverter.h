// The colour converter the graph inserts after a decoder: each decoded
// frame is converted, in one pass, straight into the buffer of the sample
// it sends on: packed 24-bit BGR, rows padded to 4 bytes, bottom row first
// (the platform's 24-bit RGB video layout).
#pragma once

#include "platform/linux/media/MediaFilter.h"
#include "platform/linux/media/MediaSample.h"
#include "platform/linux/media/PictureConverter.h"

#include <memory>

struct AVFrame;

namespace comrt::media {

class ColourConverter final : public MediaFilter {
public:
    static HRESULT create(MediaFilter** out);

    HRESULT checkInputType(MediaPin& in, MediaPin& from, const AM_MEDIA_TYPE& mt) override;
    HRESULT getOutputType(MediaPin& out, int index, AM_MEDIA_TYPE& mt) override;
    HRESULT receive(MediaPin& in, StreamItem& item) override;

protected:
    HRESULT activate() override;
    void deactivate() override;

private:
    ColourConverter();
    ~ColourConverter() override;
    HRESULT convert(const AVFrame& frame, MediaSample& sample);
    // Makes a picture converted ahead the sample's contents, when it has the
    // sample's layout; false when it has not.
    bool takeConverted(ConvertedPicture& picture, MediaSample& sample);
    void clearRowPadding(MediaSample& sample);
    HRESULT fail(HRESULT hr);

    MediaPin& m_in;
    MediaPin& m_out;
    std::shared_ptr<SamplePool> m_pool;
    std::unique_ptr<PictureConverter> m_pictures;
    int m_width = 0;
    int m_height = 0; // rows; the output type's biHeight may be negative
    bool m_topDown = false;
    size_t m_pitch = 0;
    bool m_failed = false;
};

} // namespace comrt::media
