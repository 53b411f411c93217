// Speed only. Decoder memory kept for the next pipeline (HeapThresholds.cpp).
#pragma once

namespace comrt::media {

// Called as a decoder is about to give its memory back: from the first
// call on, the C library's allocator keeps such memory for the next one.
void keepDecoderMemoryForTheNext();

} // namespace comrt::media
