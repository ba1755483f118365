#pragma once

// Structure checks of the two uncompressed-at-heart formats, BMP and TGA:
// every header field against the others and against the file's length, and
// every run of a run-length coded picture. Qt fills the rows missing from a
// short BMP without saying so, and the image library's TGA reader writes past
// its buffer when a run crosses the end of the picture; these checks refuse
// such files before either reader sees them.

#include <cstddef>
#include <cstdint>

namespace quorrel::imagedecode {

struct BmpLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool rowsTopFirst = false; // negative height in the header
    bool libraryReadsIt = false; // a header and coding the image library decodes correctly
};

// Checks a BMP file (Windows 3.x to 5 and OS/2 1.x headers; uncompressed,
// bit fields, RLE8, RLE4). False for anything malformed, truncated, or with
// maxPixelCount or more pixels.
bool checkBmpLayout(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, BmpLayout& layout);

struct TgaLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool rowsTopFirst = false; // origin bit of the descriptor
    bool libraryReadsIt = false; // a variant the image library decodes correctly
};

// Checks a TGA file (colour-mapped, true-colour and grey, raw or run-length
// coded). False for anything malformed, truncated, with a colour index
// outside the map, a run that crosses the end of the picture, or with
// maxPixelCount or more pixels.
bool checkTgaLayout(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, TgaLayout& layout);

} // namespace quorrel::imagedecode
