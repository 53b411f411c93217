// The enumerators the pipeline hands out: pins of a filter, media types of
// a pin, filters of a graph. Each works on a snapshot taken when it is made.
#pragma once

#include "platform/linux/media/MediaTypes.h"

#include <memory>
#include <vector>

namespace comrt::media {

HRESULT createPinEnumerator(std::vector<IPin*> pins, IEnumPins** ppEnum);
HRESULT createFilterEnumerator(std::vector<IBaseFilter*> filters, IEnumFilters** ppEnum);
HRESULT createMediaTypeEnumerator(std::vector<std::shared_ptr<MediaType>> types, IEnumMediaTypes** ppEnum);

} // namespace comrt::media
