#include "imageio/FormatDecoders.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio> // before jpeglib.h, which uses FILE
#include <cstdlib>
#include <cstring>
#include <new>

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <jerror.h>
#include <jpeglib.h>
#include <openjpeg.h>
#include <png.h>

#include "imageio/DicomDecoder.h"
#include "imageio/LayoutChecks.h"
#include "imageio/TiffDecoder.h"

namespace quorrel::imagedecode {

namespace {

std::unique_ptr<std::uint8_t[]> allocateBytes(std::uint64_t count)
{
    if (count == 0 || count > SIZE_MAX)
        return nullptr;
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(count)]);
}

bool startsWith(const std::uint8_t* data, std::size_t size, const char* signature, std::size_t length)
{
    return size >= length && std::memcmp(data, signature, length) == 0;
}

// Where a decoder's rows go: the whole picture when it is kept (top row first,
// or bottom row first as the view's buffer wants it), otherwise one scratch
// row that every row overwrites (a check only has to decode them).
class RowTarget {
public:
    bool allocate(bool keep, bool bottomFirst, std::uint32_t height, std::size_t rowBytes)
    {
        m_rowBytes = rowBytes;
        m_lastRow = bottomFirst ? height - 1 : 0;
        if (keep)
            m_picture = allocateBytes(static_cast<std::uint64_t>(rowBytes) * height);
        else
            m_scratchRow = allocateBytes(rowBytes);
        return m_picture || m_scratchRow;
    }

    std::size_t rowBytes() const { return m_rowBytes; }
    std::uint8_t* row(std::size_t index) const
    {
        const std::size_t stored = m_lastRow != 0 ? m_lastRow - index : index;
        return m_picture ? m_picture.get() + stored * m_rowBytes : m_scratchRow.get();
    }
    std::unique_ptr<std::uint8_t[]> takePicture() { return std::move(m_picture); }

private:
    std::size_t m_rowBytes = 0;
    std::size_t m_lastRow = 0; // non-zero when rows are stored bottom first
    std::unique_ptr<std::uint8_t[]> m_picture;
    std::unique_ptr<std::uint8_t[]> m_scratchRow;
};

// ---------------------------------------------------------------- PNG

struct MemoryInput {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
};

void readPngBytes(png_structp png, png_bytep target, png_size_t length)
{
    auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (length > input->size - input->offset)
        png_error(png, "file ends early");
    std::memcpy(target, input->data + input->offset, length);
    input->offset += length;
}

[[noreturn]] void failPng(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void ignorePngWarning(png_structp, png_const_charp)
{
}

struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    bool transparentColour = false; // a tRNS chunk
    bool gamma = false; // a gAMA chunk
};

// The variants whose decode here equals the image library's decode and its
// copy to RGBA byte for byte (the image file tests compare every variant).
bool pngLibraryAgrees(const PngHeader& header)
{
    const bool plainColourType = header.colourType == PNG_COLOR_TYPE_GRAY || header.colourType == PNG_COLOR_TYPE_RGB
        || header.colourType == PNG_COLOR_TYPE_GRAY_ALPHA || header.colourType == PNG_COLOR_TYPE_RGB_ALPHA;
    return plainColourType && header.bitDepth == 8 && header.interlace == PNG_INTERLACE_NONE
        && !header.transparentColour && !header.gamma;
}

// The two functions holding a setjmp own no object with a destructor, so the
// jump out of libpng skips nothing.
bool readPngHeader(png_structp png, png_infop info, PngHeader& header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    header.bitDepth = png_get_bit_depth(png, info);
    header.colourType = png_get_color_type(png, info);
    header.interlace = png_get_interlace_type(png, info);
    header.transparentColour = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    header.gamma = png_get_valid(png, info, PNG_INFO_gAMA) != 0;
    return true;
}

// Decodes every row of every pass into the target and reads on to the end chunk.
bool readPngRows(png_structp png, png_infop info, const RowTarget& target, png_uint_32 height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_expand(png);
    // Keeping the high byte of 16-bit samples matches what the image library does.
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != target.rowBytes())
        png_error(png, "unexpected row size");
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, target.row(y), nullptr);
    }
    png_read_end(png, nullptr);
    return true;
}

bool decodePng(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, Detail detail,
               VettedFile& result)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failPng, ignorePngWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    struct Release {
        png_structp* png;
        png_infop* info;
        ~Release() { png_destroy_read_struct(png, *info ? info : nullptr, nullptr); }
    } release{&png, &info};
    if (!info)
        return false;

    MemoryInput input{data, size, 0};
    png_set_read_fn(png, &input, readPngBytes);
    // The pixel count is limited below; libpng's own limit of a million rows
    // or columns would refuse legitimate long strips.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    PngHeader header;
    if (!readPngHeader(png, info, header))
        return false;
    const std::uint64_t pixelCount = static_cast<std::uint64_t>(header.width) * header.height;
    if (pixelCount == 0 || pixelCount >= maxPixelCount)
        return false;

    const bool libraryAgrees = detail == Detail::PictureWhereLibraryAgrees && pngLibraryAgrees(header);
    RowTarget target;
    if (!target.allocate(detail == Detail::KeepPicture || libraryAgrees, libraryAgrees, header.height,
                         static_cast<std::size_t>(header.width) * 4))
        return false;
    if (!readPngRows(png, info, target, header.height))
        return false;

    result.width = header.width;
    result.height = header.height;
    // The library keeps 16-bit samples as they are, up to 8 bytes a pixel,
    // and counts its bytes in 32 bits.
    const std::uint64_t libraryBytesPerPixel = header.bitDepth == 16 ? 8 : 4;
    result.libraryReadsIt = pixelCount * libraryBytesPerPixel <= 0xffffffffu;
    result.libraryRowsTopFirst = true;
    if (std::unique_ptr<std::uint8_t[]> picture = target.takePicture())
        result.picture = RgbaPicture{header.width, header.height, std::move(picture)};
    result.pictureIsLibrarys = libraryAgrees;
    return true;
}

// ---------------------------------------------------------------- JPEG

// A progressive file may hold any number of scans, each of which costs a pass
// over the whole picture; real encoders write a dozen.
constexpr int kMaxJpegScans = 500;

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void failJpeg(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// libjpeg reports damaged data only as warnings and fills in grey; those end
// the decode here. Warnings about odd but harmless headers pass.
void judgeJpegMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    switch (info->err->msg_code) {
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
    case JWRN_EXTRANEOUS_DATA:
        return;
    default:
        failJpeg(info);
    }
}

void silenceJpeg(j_common_ptr)
{
}

void limitJpegScans(j_common_ptr info)
{
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans)
        failJpeg(info);
}

bool readJpegHeader(jpeg_decompress_struct& info, JpegErrors& errors, const std::uint8_t* data, std::size_t size,
                    std::uint64_t memoryLimit)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(memoryLimit, LONG_MAX));
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    return jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
}

bool readJpegRows(jpeg_decompress_struct& info, JpegErrors& errors, const RowTarget& target)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_start_decompress(&info);
    if (static_cast<std::size_t>(info.output_width) * static_cast<std::size_t>(info.output_components)
        != target.rowBytes())
        return false;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = target.row(info.output_scanline);
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            return false;
    }
    jpeg_finish_decompress(&info);
    return true;
}

// Photoshop writes CMYK inverted and marks such files with its own segment.
void cmykToRgba(std::uint8_t* pixels, std::uint64_t pixelCount, bool inverted)
{
    for (std::uint64_t i = 0; i < pixelCount; ++i) {
        std::uint8_t* pixel = pixels + i * 4;
        unsigned cyan = pixel[0], magenta = pixel[1], yellow = pixel[2], black = pixel[3];
        if (!inverted) {
            cyan = 255 - cyan;
            magenta = 255 - magenta;
            yellow = 255 - yellow;
            black = 255 - black;
        }
        pixel[0] = static_cast<std::uint8_t>(cyan * black / 255);
        pixel[1] = static_cast<std::uint8_t>(magenta * black / 255);
        pixel[2] = static_cast<std::uint8_t>(yellow * black / 255);
        pixel[3] = 255;
    }
}

bool decodeJpeg(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, Detail detail,
                VettedFile& result)
{
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = failJpeg;
    errors.manager.emit_message = judgeJpegMessage;
    errors.manager.output_message = silenceJpeg;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = limitJpegScans;
    struct Release {
        jpeg_decompress_struct* info;
        ~Release() { jpeg_destroy_decompress(info); }
    } release{&info};

    if (size > ULONG_MAX || !readJpegHeader(info, errors, data, size, maxPixelCount * 8))
        return false;
    info.progress = &progress;
    const std::uint64_t pixelCount = static_cast<std::uint64_t>(info.image_width) * info.image_height;
    if (pixelCount == 0 || pixelCount >= maxPixelCount)
        return false;

    bool cmyk = false;
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        info.out_color_space = JCS_EXT_RGBA;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        info.out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
        return false;
    }

    // The library decodes with the same libjpeg and its default settings; only
    // its CMYK differs.
    const bool libraryAgrees = detail == Detail::PictureWhereLibraryAgrees && !cmyk;
    RowTarget target;
    if (!target.allocate(detail == Detail::KeepPicture || libraryAgrees, libraryAgrees, info.image_height,
                         static_cast<std::size_t>(info.image_width) * 4))
        return false;
    if (!readJpegRows(info, errors, target))
        return false;

    result.width = info.image_width;
    result.height = info.image_height;
    // The library hands the four CMYK channels over as if they were RGBA.
    result.libraryReadsIt = !cmyk;
    result.libraryRowsTopFirst = true;
    if (std::unique_ptr<std::uint8_t[]> picture = target.takePicture()) {
        if (cmyk)
            cmykToRgba(picture.get(), pixelCount, info.saw_Adobe_marker);
        result.picture = RgbaPicture{info.image_width, info.image_height, std::move(picture)};
    }
    result.pictureIsLibrarys = libraryAgrees;
    return true;
}

// ---------------------------------------------------------------- JPEG 2000

OPJ_SIZE_T readJpeg2000Bytes(void* target, OPJ_SIZE_T count, void* user)
{
    auto* input = static_cast<MemoryInput*>(user);
    const std::size_t left = input->size - input->offset;
    if (left == 0)
        return static_cast<OPJ_SIZE_T>(-1);
    const std::size_t taken = std::min<std::size_t>(count, left);
    std::memcpy(target, input->data + input->offset, taken);
    input->offset += taken;
    return taken;
}

OPJ_OFF_T skipJpeg2000Bytes(OPJ_OFF_T count, void* user)
{
    auto* input = static_cast<MemoryInput*>(user);
    if (count < 0)
        return -1;
    const std::size_t taken = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), input->size - input->offset);
    input->offset += taken;
    return static_cast<OPJ_OFF_T>(taken);
}

OPJ_BOOL seekJpeg2000Bytes(OPJ_OFF_T position, void* user)
{
    auto* input = static_cast<MemoryInput*>(user);
    if (position < 0 || static_cast<std::uint64_t>(position) > input->size)
        return OPJ_FALSE;
    input->offset = static_cast<std::size_t>(position);
    return OPJ_TRUE;
}

void ignoreJpeg2000Message(const char*, void*)
{
}

std::uint8_t sampleToByte(OPJ_INT32 sample, const opj_image_comp_t& component)
{
    std::int64_t value = sample;
    if (component.sgnd)
        value += std::int64_t{1} << (component.prec - 1);
    const std::int64_t maximum = (std::int64_t{1} << component.prec) - 1;
    value = std::clamp<std::int64_t>(value, 0, maximum);
    if (component.prec >= 8)
        return static_cast<std::uint8_t>(value >> (component.prec - 8));
    return static_cast<std::uint8_t>(value * 255 / maximum);
}

// Nearest sample of a component for a pixel of the full grid; components
// may be subsampled.
std::uint8_t componentByte(const opj_image_comp_t& component, std::uint64_t x, std::uint64_t y, std::uint32_t width,
                           std::uint32_t height)
{
    const std::uint64_t column = x * component.w / width;
    const std::uint64_t row = y * component.h / height;
    return sampleToByte(component.data[row * component.w + column], component);
}

std::uint8_t clampToByte(double value)
{
    return static_cast<std::uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
}

bool jpeg2000ToRgba(const opj_image_t& image, std::uint32_t width, std::uint32_t height, RgbaPicture& picture)
{
    const std::uint32_t components = image.numcomps;
    if (components < 1 || components > 4)
        return false;
    for (std::uint32_t c = 0; c < components; ++c) {
        const opj_image_comp_t& component = image.comps[c];
        if (!component.data || component.w == 0 || component.h == 0 || component.w > width || component.h > height
            || component.prec < 1 || component.prec > 31)
            return false;
    }
    if (image.color_space == OPJ_CLRSPC_EYCC || image.color_space == OPJ_CLRSPC_CMYK)
        return false;
    const bool colour = components >= 3;
    const bool ycc = image.color_space == OPJ_CLRSPC_SYCC && colour;
    const bool alpha = components == 2 || components == 4;

    auto pixels = allocateBytes(static_cast<std::uint64_t>(width) * height * 4);
    if (!pixels)
        return false;
    std::uint8_t* pixel = pixels.get();
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x, pixel += 4) {
            const std::uint8_t first = componentByte(image.comps[0], x, y, width, height);
            if (colour) {
                const std::uint8_t second = componentByte(image.comps[1], x, y, width, height);
                const std::uint8_t third = componentByte(image.comps[2], x, y, width, height);
                if (ycc) {
                    const double luma = first, blue = second - 128.0, red = third - 128.0;
                    pixel[0] = clampToByte(luma + 1.402 * red);
                    pixel[1] = clampToByte(luma - 0.344136 * blue - 0.714136 * red);
                    pixel[2] = clampToByte(luma + 1.772 * blue);
                } else {
                    pixel[0] = first;
                    pixel[1] = second;
                    pixel[2] = third;
                }
            } else {
                pixel[0] = pixel[1] = pixel[2] = first;
            }
            pixel[3] = alpha ? componentByte(image.comps[components - 1], x, y, width, height) : 255;
        }
    }
    picture = RgbaPicture{width, height, std::move(pixels)};
    return true;
}

bool decodeJpeg2000(const std::uint8_t* data, std::size_t size, bool boxed, std::uint64_t maxPixelCount,
                    VettedFile& result)
{
    MemoryInput input{data, size, 0};
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    opj_codec_t* codec = opj_create_decompress(boxed ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_image_t* image = nullptr;
    struct Release {
        opj_stream_t* stream;
        opj_codec_t* codec;
        opj_image_t** image;
        ~Release()
        {
            if (*image)
                opj_image_destroy(*image);
            if (codec)
                opj_destroy_codec(codec);
            if (stream)
                opj_stream_destroy(stream);
        }
    } release{stream, codec, &image};
    if (!stream || !codec)
        return false;

    opj_stream_set_user_data(stream, &input, nullptr);
    opj_stream_set_user_data_length(stream, size);
    opj_stream_set_read_function(stream, readJpeg2000Bytes);
    opj_stream_set_skip_function(stream, skipJpeg2000Bytes);
    opj_stream_set_seek_function(stream, seekJpeg2000Bytes);
    opj_set_error_handler(codec, ignoreJpeg2000Message, nullptr);
    opj_set_warning_handler(codec, ignoreJpeg2000Message, nullptr);
    opj_set_info_handler(codec, ignoreJpeg2000Message, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec, &parameters))
        return false;
    // Without strict mode a truncated code stream decodes to a blurred or
    // partly grey picture and counts as success.
    opj_decoder_set_strict_mode(codec, OPJ_TRUE);
    if (!opj_read_header(stream, codec, &image) || !image || image->x1 <= image->x0 || image->y1 <= image->y0)
        return false;
    const std::uint32_t width = image->x1 - image->x0;
    const std::uint32_t height = image->y1 - image->y0;
    if (static_cast<std::uint64_t>(width) * height >= maxPixelCount || image->numcomps < 1 || image->numcomps > 4)
        return false;
    if (!opj_decode(codec, stream, image) || !opj_end_decompress(codec, stream))
        return false;
    if (!jpeg2000ToRgba(*image, width, height, result.picture))
        return false;

    result.width = width;
    result.height = height;
    // Only the boxed file format has a reader in the image library (when it
    // was built with one); a bare code stream never goes there.
    result.libraryReadsIt = boxed;
    result.libraryRowsTopFirst = true;
    return true;
}

// ---------------------------------------------------------------- Qt readers

bool qtReadsFormat(const char* format)
{
    return QImageReader::supportedImageFormats().contains(format);
}

bool decodeWithQt(const std::uint8_t* data, std::size_t size, const char* format, std::uint32_t width,
                  std::uint32_t height, RgbaPicture& picture)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        return false;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    // Qt announces a top-down BMP with a negative height.
    const QSize announced = reader.size();
    const QSize expected(static_cast<int>(width), static_cast<int>(height));
    if (announced.width() != expected.width() || std::abs(announced.height()) != expected.height())
        return false;
    QImage image;
    if (!reader.read(&image) || image.size() != expected)
        return false;
    image = image.convertToFormat(QImage::Format_RGBA8888);
    if (image.isNull())
        return false;

    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    auto pixels = allocateBytes(static_cast<std::uint64_t>(rowBytes) * height);
    if (!pixels)
        return false;
    for (std::uint32_t y = 0; y < height; ++y)
        std::memcpy(pixels.get() + y * rowBytes, image.constScanLine(static_cast<int>(y)), rowBytes);
    picture = RgbaPicture{width, height, std::move(pixels)};
    return true;
}

bool vetBmp(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, VettedFile& result)
{
    BmpLayout layout;
    if (!checkBmpLayout(data, size, maxPixelCount, layout))
        return false;
    result.width = layout.width;
    result.height = layout.height;
    result.libraryReadsIt = layout.libraryReadsIt;
    result.libraryRowsTopFirst = layout.rowsTopFirst;
    return decodeWithQt(data, size, "bmp", layout.width, layout.height, result.picture);
}

bool vetTga(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, Detail detail, VettedFile& result)
{
    TgaLayout layout;
    if (!checkTgaLayout(data, size, maxPixelCount, layout))
        return false;
    result.width = layout.width;
    result.height = layout.height;
    result.libraryReadsIt = layout.libraryReadsIt;
    result.libraryRowsTopFirst = layout.rowsTopFirst;
    if (detail != Detail::KeepPicture)
        return true;
    // Qt reads TGA only through an optional plugin.
    return qtReadsFormat("tga") && decodeWithQt(data, size, "tga", layout.width, layout.height, result.picture);
}

} // namespace

FileKind kindFromSuffix(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return FileKind::Png;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return FileKind::Jpeg;
    if (suffix == QLatin1String("jp2"))
        return FileKind::Jp2;
    if (suffix == QLatin1String("bmp"))
        return FileKind::Bmp;
    if (suffix == QLatin1String("tga"))
        return FileKind::Tga;
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        return FileKind::Tiff;
    if (suffix == QLatin1String("dcm"))
        return FileKind::Dicom;
    return FileKind::Unknown;
}

FileKind kindFromContent(const std::uint8_t* data, std::size_t size, FileKind suffixKind)
{
    if (startsWith(data, size, "\x89PNG\r\n\x1a\n", 8))
        return FileKind::Png;
    if (startsWith(data, size, "\xff\xd8\xff", 3))
        return FileKind::Jpeg;
    if (startsWith(data, size, "\x00\x00\x00\x0cjP  \r\n\x87\n", 12))
        return FileKind::Jp2;
    if (startsWith(data, size, "\xff\x4f\xff\x51", 4))
        return FileKind::J2kCodestream;
    if (startsWith(data, size, "BM", 2))
        return FileKind::Bmp;
    // A DICOM preamble may itself hold a TIFF header.
    if (hasDicomSignature(data, size))
        return FileKind::Dicom;
    if (startsWith(data, size, "II*\0", 4) || startsWith(data, size, "MM\0*", 4) || startsWith(data, size, "II+\0", 4)
        || startsWith(data, size, "MM\0+", 4))
        return FileKind::Tiff;
    // No valid TGA header begins like any of the signatures above: each would
    // put an impossible value into its colour map type.
    return suffixKind == FileKind::Tga ? FileKind::Tga : FileKind::Unknown;
}

bool vetFile(FileKind kind, const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount,
             std::uint32_t frame, Detail detail, VettedFile& result)
{
    if (kind == FileKind::Tiff)
        return decodeTiff(data, size, maxPixelCount, frame, result);
    if (kind == FileKind::Dicom)
        return decodeDicom(data, size, maxPixelCount, frame, result);
    if (frame > 0) {
        result.failure = "frame " + std::to_string(frame) + " asked for, the file holds one picture (frame 0)";
        return false;
    }
    switch (kind) {
    case FileKind::Png:
        return decodePng(data, size, maxPixelCount, detail, result);
    case FileKind::Jpeg:
        return decodeJpeg(data, size, maxPixelCount, detail, result);
    case FileKind::Jp2:
    case FileKind::J2kCodestream:
        return decodeJpeg2000(data, size, kind == FileKind::Jp2, maxPixelCount, result);
    case FileKind::Bmp:
        return vetBmp(data, size, maxPixelCount, result);
    case FileKind::Tga:
        return vetTga(data, size, maxPixelCount, detail, result);
    case FileKind::Tiff:
    case FileKind::Dicom:
    case FileKind::Unknown:
        break;
    }
    return false;
}

bool countFrames(FileKind kind, const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount,
                 std::uint32_t& frameCount, std::string& failure)
{
    switch (kind) {
    case FileKind::Tiff:
        return countTiffPages(data, size, maxPixelCount, frameCount);
    case FileKind::Dicom:
        return countDicomFrames(data, size, maxPixelCount, frameCount, failure);
    case FileKind::Unknown:
        return false;
    default:
        frameCount = 1;
        return true;
    }
}

namespace {

std::uint32_t bigEndian16(const std::uint8_t* bytes)
{
    return (std::uint32_t{bytes[0]} << 8) | bytes[1];
}

std::uint32_t bigEndian32(const std::uint8_t* bytes)
{
    return (bigEndian16(bytes) << 16) | bigEndian16(bytes + 2);
}

// The picture in the first frame header (SOF0 to SOF15) of a JPEG stream, found
// by stepping over the segments before it.
bool stateJpegPicture(const std::uint8_t* head, std::size_t size, StatedPicture& stated)
{
    std::size_t at = 2; // past the start of image
    while (at + 4 <= size) {
        if (head[at] != 0xff)
            return false;
        const std::uint8_t marker = head[at + 1];
        if (marker == 0xff) { // fill byte
            ++at;
            continue;
        }
        const bool frameHeader = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frameHeader) {
            if (at + 10 > size)
                return false;
            stated.height = bigEndian16(head + at + 5);
            stated.width = bigEndian16(head + at + 7);
            stated.grey = head[at + 9] == 1; // one component
            return true;
        }
        if (marker == 0xda || marker == 0xd9) // a scan or the end before any frame header
            return false;
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) { // segments without a length
            at += 2;
            continue;
        }
        const std::uint32_t length = bigEndian16(head + at + 2);
        if (length < 2)
            return false;
        at += 2 + length;
    }
    return false;
}

} // namespace

bool statePicture(FileKind kind, const std::uint8_t* head, std::size_t size, StatedPicture& stated)
{
    stated = StatedPicture{};
    if (kind == FileKind::Png) {
        // The signature, the IHDR chunk's length and type, then its width,
        // height, bit depth and colour type (0: grey without alpha).
        if (size < 26 || std::memcmp(head + 12, "IHDR", 4) != 0)
            return false;
        stated.width = bigEndian32(head + 16);
        stated.height = bigEndian32(head + 20);
        stated.grey = head[25] == 0;
    } else if (kind == FileKind::Jpeg) {
        if (!stateJpegPicture(head, size, stated))
            return false;
    }
    return stated.width > 0 && stated.height > 0;
}

} // namespace quorrel::imagedecode
