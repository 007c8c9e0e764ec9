#include "core/base/heap.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
// glibc's own defaults: the padding added whenever the heap grows, and the size from which a
// block gets a mapping of its own.
constexpr int kDefaultTopPad = 128 * 1024;
constexpr int kDefaultMappedBlock = 128 * 1024;
// During a reservation blocks below this come from the heap: a fetched file list or state
// file of a few hundred kilobytes is then carved from the reserved memory, and the mapping and
// unmapping of each (with its page faults) is saved.
constexpr int kMappedBlock = 32 * 1024 * 1024;

char* HeapEnd() { return static_cast<char*>(::sbrk(0)); }

}  // namespace

void UseOneHeap()
{
    static const bool set = mallopt(M_ARENA_MAX, 1) == 1;
    (void)set;   // a refusal leaves a heap per thread: slower, no less correct
}

CHeapReservation::CHeapReservation(size_t bytes)
{
    if (mallopt(M_MMAP_THRESHOLD, kMappedBlock) != 1 || mallopt(M_TOP_PAD, int(bytes)) != 1)
        return;
    // A block this large is carved from the heap's top, which is too small for it: glibc
    // grows the heap now, by the block and the padding, and keeps the padding when the block
    // is freed at once.
    char* const before = HeapEnd();
    void* volatile block = std::malloc(kMappedBlock / 2);   // volatile: not optimised away
    std::free(block);
    char* const after = HeapEnd();
    const uintptr_t first = (uintptr_t(before) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = uintptr_t(after) & ~(kHugePage - 1);
    if (after > before && end > first)
        (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

CHeapReservation::~CHeapReservation()
{
    // The unused rest of the reservation goes back with the next release.
    (void)mallopt(M_TOP_PAD, kDefaultTopPad);
    (void)mallopt(M_MMAP_THRESHOLD, kDefaultMappedBlock);
}
