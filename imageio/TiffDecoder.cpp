#include "imageio/TiffDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <new>

#include <tiffio.h>

#include "imageio/SampleWindow.h"

namespace quorrel::imagedecode {

namespace {

struct TiffInput {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
    bool failed; // libtiff reported an error, even where it then carried on
};

tmsize_t readTiffBytes(thandle_t handle, void* target, tmsize_t count)
{
    auto* input = static_cast<TiffInput*>(handle);
    if (count <= 0)
        return 0;
    const std::size_t taken = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), input->size - input->offset);
    std::memcpy(target, input->data + input->offset, taken);
    input->offset += taken;
    return static_cast<tmsize_t>(taken);
}

tmsize_t refuseTiffWrite(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t seekTiffBytes(thandle_t handle, toff_t offset, int whence)
{
    auto* input = static_cast<TiffInput*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = input->offset;
    else if (whence == SEEK_END)
        base = input->size;
    else if (whence != SEEK_SET)
        return static_cast<toff_t>(-1);
    if (offset > input->size || base + offset > input->size)
        return static_cast<toff_t>(-1);
    input->offset = static_cast<std::size_t>(base + offset);
    return input->offset;
}

int closeTiffInput(thandle_t)
{
    return 0;
}

toff_t tiffInputSize(thandle_t handle)
{
    return static_cast<TiffInput*>(handle)->size;
}

int mapNothing(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapNothing(thandle_t, void*, toff_t)
{
}

int noteTiffError(TIFF*, void* user, const char*, const char*, va_list)
{
    static_cast<TiffInput*>(user)->failed = true;
    return 1;
}

int ignoreTiffWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// An open file in memory, closed however the decode ends. libtiff allocates
// no single block larger than the biggest picture allowed would need.
class OpenTiff {
public:
    OpenTiff(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount)
        : m_input{data, size, 0, false}
    {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        if (!options)
            return;
        const std::uint64_t largestBlock = std::max<std::uint64_t>(maxPixelCount * 8, std::uint64_t{1} << 20);
        TIFFOpenOptionsSetMaxSingleMemAlloc(
            options, static_cast<tmsize_t>(std::min<std::uint64_t>(largestBlock, std::uint64_t{1} << 40)));
        TIFFOpenOptionsSetErrorHandlerExtR(options, noteTiffError, &m_input);
        TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreTiffWarning, nullptr);
        // "m": read through the procedures above rather than a memory map.
        m_tiff = TIFFClientOpenExt("image", "rm", &m_input, readTiffBytes, refuseTiffWrite, seekTiffBytes,
                                   closeTiffInput, tiffInputSize, mapNothing, unmapNothing, options);
        TIFFOpenOptionsFree(options);
    }
    ~OpenTiff()
    {
        if (m_tiff)
            TIFFClose(m_tiff);
    }
    OpenTiff(const OpenTiff&) = delete;
    OpenTiff& operator=(const OpenTiff&) = delete;

    TIFF* get() const { return m_tiff; }
    bool failed() const { return !m_tiff || m_input.failed; }

private:
    TiffInput m_input;
    TIFF* m_tiff = nullptr;
};

std::unique_ptr<std::uint8_t[]> allocateBytes(std::uint64_t count)
{
    if (count == 0 || count > SIZE_MAX)
        return nullptr;
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(count)]);
}

struct PageLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t photometric = 0;
    std::uint16_t planarConfig = PLANARCONFIG_CONTIG;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint32_t colourSamples = 1;

    bool planar() const { return planarConfig == PLANARCONFIG_SEPARATE && samplesPerPixel > 1; }
    std::uint32_t bytesPerSample() const { return bitsPerSample / 8u; }
};

std::string compressionName(std::uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
        return "JPEG";
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return "CCITT fax";
    case COMPRESSION_LZMA:
        return "LZMA";
    case COMPRESSION_ZSTD:
        return "Zstandard";
    case COMPRESSION_WEBP:
        return "WebP";
    case COMPRESSION_JBIG:
        return "JBIG";
    default:
        return "scheme " + std::to_string(compression);
    }
}

// Reads the current directory's picture description and refuses what is
// not read here, with a message for the variants a user may meet.
bool readPageLayout(TIFF* tiff, PageLayout& layout, std::string& failure)
{
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width)
        || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height)
        || !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric))
        return false;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &layout.planarConfig);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &layout.compression);

    switch (layout.compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_LZW:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_PACKBITS:
        break;
    default:
        failure = "TIFF compressed with " + compressionName(layout.compression)
            + " (read are: uncompressed, LZW, Deflate, PackBits)";
        return false;
    }
    if (!TIFFIsCODECConfigured(layout.compression))
        return false;
    if (layout.bitsPerSample != 8 && layout.bitsPerSample != 16) {
        failure = "TIFF with " + std::to_string(layout.bitsPerSample) + "-bit samples (read are 8 and 16 bits)";
        return false;
    }
    const bool signedWords = layout.sampleFormat == SAMPLEFORMAT_INT && layout.bitsPerSample == 16;
    if (layout.sampleFormat != SAMPLEFORMAT_UINT && !signedWords) {
        failure = "TIFF with floating-point or signed 8-bit samples";
        return false;
    }
    switch (layout.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        layout.colourSamples = 1;
        break;
    case PHOTOMETRIC_RGB:
        layout.colourSamples = 3;
        break;
    default:
        failure = "TIFF whose colours are neither grey nor RGB (palette, CMYK, YCbCr, Lab ...)";
        return false;
    }
    // One extra sample at most, taken as alpha.
    if (layout.samplesPerPixel < layout.colourSamples || layout.samplesPerPixel > layout.colourSamples + 1)
        return false;
    if (layout.planarConfig != PLANARCONFIG_CONTIG && layout.planarConfig != PLANARCONFIG_SEPARATE)
        return false;
    return true;
}

// Reads every strip or tile of the page into samples: pixel-interleaved rows
// for contiguous data, one plane after another for planar data.
bool readPageSamples(TIFF* tiff, const PageLayout& layout, std::uint8_t* samples)
{
    const std::uint32_t planes = layout.planar() ? layout.samplesPerPixel : 1;
    const std::uint64_t pixelBytes =
        static_cast<std::uint64_t>(layout.bytesPerSample()) * (layout.planar() ? 1 : layout.samplesPerPixel);
    const std::uint64_t rowBytes = pixelBytes * layout.width;
    const std::uint64_t planeBytes = rowBytes * layout.height;

    if (!TIFFIsTiled(tiff)) {
        if (static_cast<std::uint64_t>(TIFFScanlineSize64(tiff)) != rowBytes)
            return false;
        std::uint32_t rowsPerStrip = layout.height;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, layout.height);
        for (std::uint32_t plane = 0; plane < planes; ++plane) {
            for (std::uint32_t row = 0; row < layout.height; row += rowsPerStrip) {
                const std::uint32_t rows = std::min(rowsPerStrip, layout.height - row);
                const std::uint64_t expected = rowBytes * rows;
                std::uint8_t* target = samples + plane * planeBytes + row * rowBytes;
                const tstrip_t strip = TIFFComputeStrip(tiff, row, static_cast<std::uint16_t>(plane));
                if (strip >= TIFFNumberOfStrips(tiff)
                    || TIFFReadEncodedStrip(tiff, strip, target, static_cast<tmsize_t>(expected))
                        != static_cast<tmsize_t>(expected))
                    return false;
            }
        }
        return true;
    }

    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;
    if (!TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth) || !TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight)
        || tileWidth == 0 || tileHeight == 0)
        return false;
    const std::uint64_t tileRowBytes = pixelBytes * tileWidth;
    const std::uint64_t tileBytes = tileRowBytes * tileHeight;
    if (static_cast<std::uint64_t>(TIFFTileSize64(tiff)) != tileBytes)
        return false;
    const std::unique_ptr<std::uint8_t[]> tile = allocateBytes(tileBytes);
    if (!tile)
        return false;
    for (std::uint32_t plane = 0; plane < planes; ++plane) {
        for (std::uint32_t y = 0; y < layout.height; y += tileHeight) {
            for (std::uint32_t x = 0; x < layout.width; x += tileWidth) {
                const ttile_t index = TIFFComputeTile(tiff, x, y, 0, static_cast<std::uint16_t>(plane));
                if (index >= TIFFNumberOfTiles(tiff)
                    || TIFFReadEncodedTile(tiff, index, tile.get(), static_cast<tmsize_t>(tileBytes))
                        != static_cast<tmsize_t>(tileBytes))
                    return false;
                const std::uint32_t rows = std::min(tileHeight, layout.height - y);
                const std::uint64_t copied = pixelBytes * std::min(tileWidth, layout.width - x);
                for (std::uint32_t row = 0; row < rows; ++row)
                    std::memcpy(samples + plane * planeBytes + (y + row) * rowBytes + x * pixelBytes,
                                tile.get() + row * tileRowBytes, static_cast<std::size_t>(copied));
            }
        }
    }
    return true;
}

// The samples as RGBA bytes, rows top first; 16-bit colour samples through
// the percentile window, 16-bit alpha by its high byte.
bool samplesToRgba(const PageLayout& layout, const std::uint8_t* samples, RgbaPicture& picture)
{
    const std::uint64_t pixelCount = static_cast<std::uint64_t>(layout.width) * layout.height;
    auto pixels = allocateBytes(pixelCount * 4);
    if (!pixels)
        return false;
    const bool wide = layout.bitsPerSample == 16;
    const std::uint16_t signFlip = layout.sampleFormat == SAMPLEFORMAT_INT ? 0x8000 : 0;
    const auto sample = [&](std::uint64_t pixel, std::uint32_t channel) -> std::uint16_t {
        const std::uint64_t index =
            layout.planar() ? channel * pixelCount + pixel : pixel * layout.samplesPerPixel + channel;
        if (!wide)
            return samples[index];
        std::uint16_t value = 0;
        std::memcpy(&value, samples + index * 2, 2);
        return static_cast<std::uint16_t>(value ^ signFlip);
    };

    SampleWindow window;
    if (wide) {
        for (std::uint64_t pixel = 0; pixel < pixelCount; ++pixel) {
            for (std::uint32_t channel = 0; channel < layout.colourSamples; ++channel)
                window.add(sample(pixel, channel));
        }
        window.finish();
    }
    const bool invert = layout.photometric == PHOTOMETRIC_MINISWHITE;
    const bool alpha = layout.samplesPerPixel > layout.colourSamples;
    for (std::uint64_t pixel = 0; pixel < pixelCount; ++pixel) {
        std::uint8_t* target = pixels.get() + pixel * 4;
        for (std::uint32_t channel = 0; channel < 3; ++channel) {
            const std::uint16_t value = sample(pixel, layout.colourSamples == 3 ? channel : 0);
            std::uint8_t byte = wide ? window.byte(value) : static_cast<std::uint8_t>(value);
            target[channel] = invert ? static_cast<std::uint8_t>(255 - byte) : byte;
        }
        if (!alpha)
            target[3] = 255;
        else if (wide)
            target[3] = static_cast<std::uint8_t>((sample(pixel, layout.colourSamples) ^ signFlip) >> 8);
        else
            target[3] = static_cast<std::uint8_t>(sample(pixel, layout.colourSamples));
    }
    picture = RgbaPicture{layout.width, layout.height, std::move(pixels)};
    return true;
}

// Microns in one unit that an ImageJ description names; 0 for anything
// that is not a length.
double imageJUnitMicrons(const std::string& description)
{
    std::size_t start = 0;
    while (start < description.size()) {
        std::size_t end = description.find('\n', start);
        if (end == std::string::npos)
            end = description.size();
        const std::string line = description.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, 5, "unit=") != 0)
            continue;
        const std::string unit = line.substr(5);
        if (unit == "micron" || unit == "microns" || unit == "um" || unit == "\xc2\xb5m" || unit == "\xb5m"
            || unit == "\\u00B5m")
            return 1.0;
        if (unit == "mm")
            return 1000.0;
        if (unit == "nm")
            return 0.001;
        if (unit == "cm")
            return 10000.0;
        return 0.0;
    }
    return 0.0;
}

// Dots per inch that image programs write when they know no real size.
bool isPrintResolution(double x, double y)
{
    return x == y && x <= 1200.0 && x == std::floor(x);
}

FilePixelSize readPixelSize(TIFF* tiff)
{
    FilePixelSize size;
    float xResolution = 0.0f;
    float yResolution = 0.0f;
    if (!TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xResolution)
        || !TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yResolution))
        return size;
    const char* text = nullptr;
    const std::string description =
        TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &text) && text ? std::string(text) : std::string();
    std::uint16_t unit = RESUNIT_NONE;
    const bool unitGiven = TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit) == 1;

    double unitMicrons = 0.0;
    if (description.compare(0, 7, "ImageJ=") == 0 && (unitMicrons = imageJUnitMicrons(description)) > 0.0) {
        size.source = PixelSizeSource::ImageJDescription;
    } else if (unitGiven && unit == RESUNIT_CENTIMETER) {
        unitMicrons = 10000.0;
        size.source = PixelSizeSource::TiffResolution;
    } else if (unitGiven && unit == RESUNIT_INCH && !isPrintResolution(xResolution, yResolution)) {
        unitMicrons = 25400.0;
        size.source = PixelSizeSource::TiffResolution;
    } else {
        return size;
    }
    const double lateral = unitMicrons / xResolution;
    const double axial = unitMicrons / yResolution;
    if (!(xResolution > 0.0f) || !(yResolution > 0.0f) || !std::isfinite(lateral) || !std::isfinite(axial)) {
        size = FilePixelSize{};
        size.problem = "the TIFF resolution is zero or not a number";
        return size;
    }
    size.lateralMicrons = lateral;
    size.axialMicrons = axial;
    return size;
}

} // namespace

bool countTiffPages(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, std::uint32_t& pageCount)
{
    OpenTiff tiff(data, size, maxPixelCount);
    if (tiff.failed())
        return false;
    pageCount = TIFFNumberOfDirectories(tiff.get());
    return pageCount > 0 && !tiff.failed();
}

bool decodeTiff(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, std::uint32_t page,
                VettedFile& result)
{
    OpenTiff tiff(data, size, maxPixelCount);
    if (tiff.failed())
        return false;
    const std::uint32_t pageCount = TIFFNumberOfDirectories(tiff.get());
    if (tiff.failed() || pageCount == 0)
        return false;
    if (page >= pageCount) {
        result.failure = "page " + std::to_string(page) + " asked for, the TIFF has " + std::to_string(pageCount)
            + (pageCount == 1 ? " page" : " pages");
        return false;
    }
    if (!TIFFSetDirectory(tiff.get(), page) || tiff.failed())
        return false;

    PageLayout layout;
    if (!readPageLayout(tiff.get(), layout, result.failure))
        return false;
    const std::uint64_t pixelCount = static_cast<std::uint64_t>(layout.width) * layout.height;
    if (pixelCount == 0 || pixelCount >= maxPixelCount)
        return false;
    const auto samples = allocateBytes(pixelCount * layout.samplesPerPixel * layout.bytesPerSample());
    if (!samples || !readPageSamples(tiff.get(), layout, samples.get()) || tiff.failed())
        return false;
    if (!samplesToRgba(layout, samples.get(), result.picture))
        return false;

    result.width = layout.width;
    result.height = layout.height;
    result.libraryReadsIt = false;
    result.libraryRowsTopFirst = true;
    result.frameCount = pageCount;
    result.pixelSize = readPixelSize(tiff.get());
    return true;
}

} // namespace quorrel::imagedecode
