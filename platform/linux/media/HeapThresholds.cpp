// Speed only. A decoder takes megabytes of tables and pools from the C
// library's allocator, in blocks of up to a few hundred kilobytes, and gives
// them all back when its pipeline ends. Until the allocator has seen a large
// block freed, it maps every block over 128 KB afresh from the system and
// hands its heap's free top back to the system past 128 KB: every pipeline
// then faults its decoder's memory in again, a fault for every 4 KB page.
// (2160p H.264, pipeline after pipeline in one process: 48 ms a first frame,
// 2000 faults a pipeline; with the raised limits 20 ms and none.)
//
// The allocator raises both limits by itself when a large block it mapped is
// freed, up to 32 MB, as happens in any program that works with pictures;
// the module makes that happen once, as the first decoder goes. (Not
// before: a process that grabs one picture and ends would only hold more
// memory at its peak, its blocks coming from the heap rather than the
// system.) A program that set the limits itself (mallopt, GLIBC_TUNABLES)
// keeps them: the allocator then adjusts nothing.

#include "platform/linux/media/HeapThresholds.h"

#include <cstdlib>

namespace comrt::media {

namespace {

// Above the allocator's starting limit, so that it is mapped; its release
// raises the limit for mapping to 16 MB and the one for trimming to 32 MB:
// more than a 2160p decoder takes and gives back (4 MB did not do for it).
constexpr size_t kLargeBlock = size_t(16) << 20;

bool raiseHeapThresholds()
{
    // Through a volatile pointer, so that the compiler cannot leave the pair out.
    void* volatile block = std::malloc(kLargeBlock);
    std::free(block);
    return true;
}

} // namespace

void keepDecoderMemoryForTheNext()
{
    static const bool raised = raiseHeapThresholds();
    (void)raised;
}

} // namespace comrt::media
