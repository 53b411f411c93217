// Speed only. Memory for pictures. Fresh memory costs a page fault per page on first
// touch, and a picture of several megabytes touches thousands; such buffers
// are therefore taken straight from the system, in 2 MB pages where the
// system offers them (transparent huge pages on request), which cuts the
// faults to a handful. A few freed ones are kept for the next pipeline of
// the same picture size: the ordinary allocator would give them back to the
// system as the pipeline ends. Small buffers come from the ordinary allocator.
#pragma once

#include <cstddef>

namespace comrt::media {

// A buffer of at least `size` bytes, 64-byte aligned, or null. Its contents
// are undefined (zero when fresh from the system, a former picture when reused).
void* allocateLargeBuffer(size_t size);
// The same with its first `size` bytes zero: what a decoder writes into,
// since a damaged picture leaves parts of its buffer as they were, and a
// picture must never show what another file left there.
void* allocateZeroedLargeBuffer(size_t size);
// Frees a buffer of allocateLargeBuffer; `size` is the size asked for.
void freeLargeBuffer(void* buffer, size_t size);

} // namespace comrt::media
