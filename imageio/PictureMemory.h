#pragma once

// The process's memory for pictures: kept when freed, and made ready ahead
// of the picture that will need it.

#include <cstddef>
#include <thread>

namespace quorrel {

// Makes the process keep the memory of big blocks it frees, such as a
// picture's pixels and the view's texture storage, for the next picture
// instead of handing it back to the system. Touching fresh pages costs more
// than copying a picture into them (on a virtual machine many times more),
// so a window that opens picture after picture calls this once at start-up.
void keepFreedPictureMemory();

// A block whose pages another thread touches while this one goes on (with
// the decode of a picture, say); when the reserve ends, the block goes back
// to the kept memory, where the next big block this thread asks for (the
// texture storage of that picture) finds its pages ready. Does nothing
// unless keepFreedPictureMemory was called, and when the block or the
// thread cannot be had.
class PictureMemoryReserve {
public:
    PictureMemoryReserve() = default;
    explicit PictureMemoryReserve(std::size_t bytes);
    ~PictureMemoryReserve();
    PictureMemoryReserve(const PictureMemoryReserve&) = delete;
    PictureMemoryReserve& operator=(const PictureMemoryReserve&) = delete;

    // Waits until every page was touched and frees the block; later calls
    // do nothing.
    void release();
    // Whether a block is held, being made ready or ready.
    bool holdsBlock() const { return m_block != nullptr; }

private:
    unsigned char* m_block = nullptr;
    std::thread m_toucher;
};

} // namespace quorrel
