#include "imageio/PictureMemory.h"

#include <atomic>
#include <cstdlib>
#include <system_error>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace quorrel {

namespace {

std::atomic<bool> g_freedMemoryKept{false};

// Touched one byte in each; a larger page is touched more than once.
constexpr std::size_t kPageBytes = 4096;

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
