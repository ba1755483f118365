#pragma once

// TIFF through libtiff: 8- and 16-bit grey, grey with alpha, RGB and RGBA;
// strips or tiles, contiguous or planar; uncompressed, LZW, Deflate or
// PackBits; any page of a multi-page file. Internal to imageio.

#include <cstddef>
#include <cstdint>

#include "imageio/FormatDecoders.h"

namespace quorrel::imagedecode {

// Decodes page (0-based) completely into result.picture (rows top first) and
// reads the page count and the pixel size. False, with result.failure where
// there is more to say, for a damaged file, an unsupported variant, a page
// past the last, or maxPixelCount or more pixels (checked before any strip
// is read).
bool decodeTiff(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, std::uint32_t page,
                VettedFile& result);

// Counts the pages by following the chain of directories.
bool countTiffPages(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, std::uint32_t& pageCount);

} // namespace quorrel::imagedecode
