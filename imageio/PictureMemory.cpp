#include "imageio/PictureMemory.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <system_error>

#include <sys/mman.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace quorrel {

namespace {

std::atomic<bool> g_freedMemoryKept{false};

// Touched one byte in each; a larger page is touched more than once.
constexpr std::size_t kPageBytes = 4096;

// Asks for the whole 2 MB pages inside the block to be backed by huge pages:
// one fault for each instead of 512, which on a virtual machine costs less
// and slows the decode on the other core less. Where the system has no huge
// pages, the advice changes nothing.
void adviseHugePages(unsigned char* block, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHugePageBytes = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePageBytes - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

} // namespace

void keepFreedPictureMemory()
{
#ifdef __GLIBC__
    // The C library maps big blocks afresh (every one of 32 MB or more, an
    // 8-megapixel picture) and unmaps them when freed, and trims the top of
    // its heap; taken from the heap and kept there up to half a gigabyte,
    // the blocks of one picture serve the next.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    g_freedMemoryKept = true;
#endif
}

PictureMemoryReserve::PictureMemoryReserve(std::size_t bytes)
{
    // Without kept memory the freed block would go back to the system, and
    // the touching with it.
    if (!g_freedMemoryKept || bytes == 0)
        return;
    // From this thread's heap, where the block is freed again and where this
    // thread's next big blocks come from.
    m_block = static_cast<unsigned char*>(std::malloc(bytes));
    if (!m_block)
        return;
    try {
        m_toucher = std::thread([block = m_block, bytes] {
            adviseHugePages(block, bytes);
            volatile unsigned char* pages = block;
            for (std::size_t offset = 0; offset < bytes; offset += kPageBytes)
                pages[offset] = 0;
        });
    } catch (const std::system_error&) {
        std::free(m_block);
        m_block = nullptr;
    }
}

PictureMemoryReserve::~PictureMemoryReserve()
{
    release();
}

void PictureMemoryReserve::release()
{
    if (m_toucher.joinable())
        m_toucher.join();
    std::free(m_block);
    m_block = nullptr;
}

} // namespace quorrel
