#include "imageio/LayoutChecks.h"

#include <cstdlib>

namespace quorrel::imagedecode {

namespace {

std::uint32_t readU16(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8);
}

std::uint32_t readU32(const std::uint8_t* bytes)
{
    return readU16(bytes) | (readU16(bytes + 2) << 16);
}

constexpr std::uint32_t kBmpFileHeaderSize = 14;
constexpr std::uint32_t kBmpCoreHeaderSize = 12; // OS/2 1.x
constexpr std::uint32_t kBmpInfoHeaderSize = 40; // Windows 3.x

enum BmpCompression : std::uint32_t { BmpRgb = 0, BmpRle8 = 1, BmpRle4 = 2, BmpBitFields = 3 };

bool isKnownBmpHeaderSize(std::uint32_t headerSize)
{
    switch (headerSize) {
    case kBmpCoreHeaderSize:
    case kBmpInfoHeaderSize:
    case 52: // with the three colour masks
    case 56: // with the alpha mask as well
    case 108: // version 4
    case 124: // version 5
        return true;
    default:
        return false;
    }
}

// Follows every run and escape of an RLE8 or RLE4 stream. A run may reach
// into the row's padding (some writers code the padded row) but no further,
// a jump may not leave the picture, and the stream must end with its
// end-of-picture code inside the file.
bool walkBmpRunLengths(const std::uint8_t* data, std::size_t size, std::size_t offset, std::uint32_t width,
                       std::uint32_t height, bool fourBit)
{
    const std::uint64_t bitsPerPixel = fourBit ? 4 : 8;
    const std::uint64_t paddedWidth = (width * bitsPerPixel + 31) / 32 * 32 / bitsPerPixel;
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    while (true) {
        if (size - offset < 2)
            return false;
        const std::uint32_t count = data[offset];
        const std::uint32_t code = data[offset + 1];
        offset += 2;
        if (count > 0) {
            if (y >= height || x + count > paddedWidth)
                return false;
            x += count;
            continue;
        }
        switch (code) {
        case 0: // end of row
            x = 0;
            if (++y > height)
                return false;
            break;
        case 1: // end of picture
            return true;
        case 2: { // jump right and up
            if (size - offset < 2)
                return false;
            const std::uint32_t right = data[offset];
            const std::uint32_t up = data[offset + 1];
            offset += 2;
            if (x + right > width || y + up >= height)
                return false;
            x += right;
            y += up;
            break;
        }
        default: { // a literal run of `code` pixels, padded to an even byte count
            if (y >= height || x + code > paddedWidth)
                return false;
            std::uint64_t bytes = fourBit ? (code + 1) / 2 : code;
            bytes += bytes % 2;
            if (size - offset < bytes)
                return false;
            offset += static_cast<std::size_t>(bytes);
            x += code;
            break;
        }
        }
    }
}

} // namespace

bool checkBmpLayout(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, BmpLayout& layout)
{
    if (size < kBmpFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M')
        return false;
    const std::uint64_t dataOffset = readU32(data + 10);
    const std::uint32_t headerSize = readU32(data + 14);
    if (!isKnownBmpHeaderSize(headerSize) || size < kBmpFileHeaderSize + headerSize)
        return false;

    const std::uint8_t* header = data + kBmpFileHeaderSize;
    std::int64_t signedHeight = 0;
    std::uint32_t width = 0;
    std::uint32_t planes = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = BmpRgb;
    std::uint32_t paletteUsed = 0;
    std::uint32_t paletteEntrySize = 4;
    if (headerSize == kBmpCoreHeaderSize) {
        width = readU16(header + 4);
        signedHeight = readU16(header + 6);
        planes = readU16(header + 8);
        bitCount = readU16(header + 10);
        paletteEntrySize = 3;
    } else {
        const auto signedWidth = static_cast<std::int32_t>(readU32(header + 4));
        if (signedWidth <= 0)
            return false;
        width = static_cast<std::uint32_t>(signedWidth);
        signedHeight = static_cast<std::int32_t>(readU32(header + 8));
        planes = readU16(header + 12);
        bitCount = readU16(header + 14);
        compression = readU32(header + 16);
        paletteUsed = readU32(header + 32);
    }
    if (width == 0 || signedHeight == 0 || planes != 1)
        return false;
    const bool topDown = signedHeight < 0;
    const std::uint64_t height = static_cast<std::uint64_t>(std::llabs(signedHeight));
    if (height > 0x7fffffff || static_cast<std::uint64_t>(width) * height >= maxPixelCount)
        return false;

    switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return false;
    }
    const bool runLengths = compression == BmpRle8 || compression == BmpRle4;
    const bool codingFits = compression == BmpRgb || (compression == BmpRle8 && bitCount == 8)
        || (compression == BmpRle4 && bitCount == 4)
        || (compression == BmpBitFields && (bitCount == 16 || bitCount == 32));
    if (!codingFits || (runLengths && topDown))
        return false;

    std::uint64_t tablesEnd = kBmpFileHeaderSize + headerSize;
    if (compression == BmpBitFields && headerSize == kBmpInfoHeaderSize)
        tablesEnd += 12; // the three masks follow the short header
    bool paletteComplete = true;
    if (bitCount <= 8) {
        const std::uint32_t fullPalette = 1u << bitCount;
        if (paletteUsed > fullPalette)
            return false;
        const std::uint32_t entries = paletteUsed == 0 ? fullPalette : paletteUsed;
        paletteComplete = entries == fullPalette;
        tablesEnd += static_cast<std::uint64_t>(entries) * paletteEntrySize;
    }
    if (dataOffset < tablesEnd || dataOffset > size)
        return false;

    if (runLengths) {
        if (!walkBmpRunLengths(data, size, static_cast<std::size_t>(dataOffset), width,
                               static_cast<std::uint32_t>(height), compression == BmpRle4))
            return false;
    } else {
        const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
        if (rowBytes * height > size - dataOffset)
            return false;
    }

    layout.width = width;
    layout.height = static_cast<std::uint32_t>(height);
    layout.rowsTopFirst = topDown;
    // The library reads only the two oldest headers, takes the palette from
    // directly behind the header with its full length, and ignores bit-field
    // masks of every other layout.
    if (headerSize == kBmpInfoHeaderSize)
        layout.libraryReadsIt = compression != BmpBitFields && paletteComplete;
    else if (headerSize == kBmpCoreHeaderSize)
        layout.libraryReadsIt = bitCount != 16 && bitCount != 32;
    else
        layout.libraryReadsIt = false;
    return true;
}

namespace {

constexpr std::size_t kTgaHeaderSize = 18;

enum TgaImageType : std::uint32_t {
    TgaColourMapped = 1,
    TgaTrueColour = 2,
    TgaGrey = 3,
    TgaRunLengthFlag = 8,
};

struct TgaPixelWalk {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
    std::uint64_t pixelCount;
    std::uint32_t bytesPerPixel;
    bool runLengths;
    bool checkIndices;
    std::uint32_t firstIndex;
    std::uint32_t indexCount;
};

bool indicesInMap(const std::uint8_t* pixels, std::uint64_t count, std::uint32_t firstIndex, std::uint32_t indexCount)
{
    for (std::uint64_t i = 0; i < count; ++i) {
        if (pixels[i] < firstIndex || pixels[i] - firstIndex >= indexCount)
            return false;
    }
    return true;
}

// Visits the whole pixel stream; colour indices (one byte each) must name an
// entry of the map.
bool walkTgaPixels(const TgaPixelWalk& walk)
{
    std::size_t offset = walk.offset;
    if (!walk.runLengths) {
        const std::uint64_t bytes = walk.pixelCount * walk.bytesPerPixel;
        if (bytes > walk.size - offset)
            return false;
        return !walk.checkIndices || indicesInMap(walk.data + offset, bytes, walk.firstIndex, walk.indexCount);
    }
    std::uint64_t done = 0;
    while (done < walk.pixelCount) {
        if (offset >= walk.size)
            return false;
        const std::uint32_t packet = walk.data[offset++];
        const std::uint32_t count = (packet & 0x7f) + 1;
        if (done + count > walk.pixelCount)
            return false;
        const std::uint64_t bytes = (packet & 0x80) ? walk.bytesPerPixel : std::uint64_t{count} * walk.bytesPerPixel;
        if (bytes > walk.size - offset)
            return false;
        if (walk.checkIndices && !indicesInMap(walk.data + offset, bytes, walk.firstIndex, walk.indexCount))
            return false;
        offset += static_cast<std::size_t>(bytes);
        done += count;
    }
    return true;
}

} // namespace

bool checkTgaLayout(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, TgaLayout& layout)
{
    if (size < kTgaHeaderSize)
        return false;
    const std::uint32_t idLength = data[0];
    const std::uint32_t colourMapType = data[1];
    const std::uint32_t imageType = data[2];
    const std::uint32_t firstIndex = readU16(data + 3);
    const std::uint32_t mapLength = readU16(data + 5);
    const std::uint32_t mapEntryBits = data[7];
    const std::uint32_t width = readU16(data + 12);
    const std::uint32_t height = readU16(data + 14);
    const std::uint32_t pixelBits = data[16];
    const std::uint32_t descriptor = data[17];

    const std::uint32_t baseType = imageType & ~std::uint32_t{TgaRunLengthFlag};
    if (imageType > 11 || baseType < TgaColourMapped || baseType > TgaGrey || colourMapType > 1)
        return false;
    // Interleaved rows are obsolete and read by nobody.
    if ((descriptor & 0xc0) != 0 || width == 0 || height == 0)
        return false;
    if (static_cast<std::uint64_t>(width) * height >= maxPixelCount)
        return false;

    std::uint64_t mapBytes = 0;
    if (colourMapType == 1) {
        if (mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32)
            return false;
        mapBytes = static_cast<std::uint64_t>(mapLength) * ((mapEntryBits + 7) / 8);
    }
    const bool colourMapped = baseType == TgaColourMapped;
    if (colourMapped && (colourMapType != 1 || mapLength == 0 || pixelBits != 8))
        return false;
    if (baseType == TgaTrueColour && pixelBits != 15 && pixelBits != 16 && pixelBits != 24 && pixelBits != 32)
        return false;
    if (baseType == TgaGrey && pixelBits != 8)
        return false;

    const std::uint64_t pixelsStart = kTgaHeaderSize + idLength + mapBytes;
    if (pixelsStart > size)
        return false;
    TgaPixelWalk walk{data,
                      size,
                      static_cast<std::size_t>(pixelsStart),
                      static_cast<std::uint64_t>(width) * height,
                      (pixelBits + 7) / 8,
                      (imageType & TgaRunLengthFlag) != 0,
                      colourMapped,
                      firstIndex,
                      mapLength};
    if (!walkTgaPixels(walk))
        return false;

    layout.width = width;
    layout.height = height;
    layout.rowsTopFirst = (descriptor & 0x20) != 0;
    // The library refuses right-to-left files, reads 15- and 16-bit map
    // entries wrongly, looks colours up without the first index, and takes a
    // map in front of true-colour pixels for pixels.
    const bool rightToLeft = (descriptor & 0x10) != 0;
    const bool mapFits = colourMapped ? (mapEntryBits == 24 || mapEntryBits == 32) && firstIndex == 0 : mapBytes == 0;
    layout.libraryReadsIt = !rightToLeft && mapFits;
    return true;
}

} // namespace quorrel::imagedecode
