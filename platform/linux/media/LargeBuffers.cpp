#include "platform/linux/media/LargeBuffers.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/mman.h>

namespace comrt::media {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kPage = size_t(4) << 10;
// From this size on, buffers are mapped and kept (a small picture's planes).
constexpr size_t kSmallestMapped = size_t(64) << 10;
// Freed mappings kept for reuse, at most: what the ordinary allocator keeps
// at most of freed large blocks.
constexpr size_t kMaxKeptBytes = size_t(64) << 20;
constexpr int kMaxKept = 8;

// Below this the ordinary allocator does as well. Above it, the ordinary
// allocator gives memory back to the system when a pipeline ends (it trims
// its heap), and the next pipeline faults it all in again.
bool mapped(size_t size)
{
    return size >= kSmallestMapped;
}

// Whole huge pages from one huge page on, whole pages below.
size_t mappedLength(size_t size)
{
    const size_t unit = size >= kHugePage ? kHugePage : kPage;
    return (size + unit - 1) & ~(unit - 1);
}

// Freed mappings, the most recent first.
struct Kept {
    std::mutex lock;
    void* buffers[kMaxKept] = {};
    size_t lengths[kMaxKept] = {};
    int count = 0;
    size_t bytes = 0;

    void* take(size_t length)
    {
        std::lock_guard g(lock);
        for (int i = 0; i < count; ++i)
            if (lengths[i] == length) {
                void* p = buffers[i];
                bytes -= length;
                for (int j = i + 1; j < count; ++j) {
                    buffers[j - 1] = buffers[j];
                    lengths[j - 1] = lengths[j];
                }
                --count;
                return p;
            }
        return nullptr;
    }

    // False when the mapping is not kept; the caller unmaps it. What must
    // make room for it is unmapped here.
    bool keep(void* buffer, size_t length)
    {
        if (length > kMaxKeptBytes)
            return false;
        void* dropped[kMaxKept];
        size_t droppedLengths[kMaxKept];
        int drops = 0;
        {
            std::lock_guard g(lock);
            while (count > 0 && (count == kMaxKept || bytes + length > kMaxKeptBytes)) {
                --count;
                bytes -= lengths[count];
                dropped[drops] = buffers[count];
                droppedLengths[drops++] = lengths[count];
            }
            for (int j = count; j > 0; --j) {
                buffers[j] = buffers[j - 1];
                lengths[j] = lengths[j - 1];
            }
            buffers[0] = buffer;
            lengths[0] = length;
            ++count;
            bytes += length;
        }
        for (int i = 0; i < drops; ++i)
            munmap(dropped[i], droppedLengths[i]);
        return true;
    }
};

Kept& kept()
{
    // Never destroyed: buffers may be freed during the process's exit.
    static Kept* k = new Kept;
    return *k;
}

void* mapFresh(size_t length)
{
    if (length < kHugePage) {
        void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : p;
    }
    // Mapped one huge page larger, so that the buffer can start on a huge-page boundary.
    void* base = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    uintptr_t start = (reinterpret_cast<uintptr_t>(base) + kHugePage - 1) & ~(kHugePage - 1);
    // Give back the parts outside the aligned span.
    size_t head = start - reinterpret_cast<uintptr_t>(base);
    if (head)
        munmap(base, head);
    size_t tail = kHugePage - head;
    if (tail)
        munmap(reinterpret_cast<void*>(start + length), tail);
    madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(start);
}

} // namespace

void* allocateLargeBuffer(size_t size)
{
    if (!mapped(size)) {
        void* p = nullptr;
        return posix_memalign(&p, 64, size ? size : 1) == 0 ? p : nullptr;
    }
    size_t length = mappedLength(size);
    if (void* p = kept().take(length))
        return p;
    return mapFresh(length);
}

void* allocateZeroedLargeBuffer(size_t size)
{
    if (!mapped(size)) {
        void* p = allocateLargeBuffer(size);
        if (p)
            std::memset(p, 0, size);
        return p;
    }
    size_t length = mappedLength(size);
    if (void* p = kept().take(length)) {
        std::memset(p, 0, size);
        return p;
    }
    return mapFresh(length); // zero from the system
}

void freeLargeBuffer(void* buffer, size_t size)
{
    if (!buffer)
        return;
    if (!mapped(size)) {
        std::free(buffer);
        return;
    }
    size_t length = mappedLength(size);
    if (!kept().keep(buffer, length))
        munmap(buffer, length);
}

} // namespace comrt::media
