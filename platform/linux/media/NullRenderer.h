// The renderer that completes a chain without showing anything: it takes
// every type, drops every sample and reports completion at the end of the stream.
#pragma once

#include "platform/linux/media/MediaFilter.h"

namespace comrt::media {

class NullRenderer final : public MediaFilter {
public:
    static HRESULT create(NullRenderer** out);

    HRESULT checkInputType(MediaPin& in, MediaPin& from, const AM_MEDIA_TYPE& mt) override;
    HRESULT receive(MediaPin& in, StreamItem& item) override;

private:
    NullRenderer();
};

} // namespace comrt::media
