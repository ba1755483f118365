#pragma once

// Decoding image files into the view's RGBA buffer and writing the buffer
// back. Shared by the window and the headless measurement command; needs no
// GL context.

#include <cstdint>
#include <memory>
#include <string>

namespace quorrel {

enum class LoadStatus {
    Ok, // pixels hold the region
    NoImageName, // the image library could not provide an image name
    DecodeFailed, // no decoder could read the file completely, or it is too large
    AllocationFailed // the region's buffer could not be obtained (or the region is empty)
};

// A region of a decoded file: RGBA bytes, rows packed, row 0 the bottom row.
struct LoadedRegion {
    LoadStatus status = LoadStatus::DecodeFailed;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::unique_ptr<std::uint8_t[]> pixels;
};

// Initialises the image library once per process; later calls do nothing.
// The two operations below call it themselves.
void initImageLibrary();

// Decodes the file at path and copies the region given as fractions of the
// file's size (x0, y0 from the bottom-left, width, height; (0, 0, 1, 1) is
// the whole file) into a new RGBA buffer.
LoadedRegion loadImageRegion(const std::wstring& path, double x0, double y0, double width, double height);

// Writes an RGBA buffer (bottom row first) to path; the file type follows the
// extension. False when there is no buffer or the library gives no image name,
// and when the library does not write the file: it never overwrites an
// existing file, and refuses an unknown extension or an empty picture.
bool saveRgbaImage(const std::wstring& path, const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height);

} // namespace quorrel
