#include "imageio/ImageFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <IL/il.h>
#include <IL/ilu.h>

#include "imageio/DicomDecoder.h"
#include "imageio/DicomLayout.h"
#include "imageio/FormatDecoders.h"

namespace quorrel {

namespace {

using imagedecode::Detail;
using imagedecode::FileKind;
using imagedecode::VettedFile;

// Both the region's buffer and the image library count bytes in 32 bits, so
// a picture stays below 2^30 pixels of four bytes. The fuzzing build lowers
// the limit to stay inside the sanitizer's memory budget.
#ifdef QUORREL_IMAGEIO_PIXEL_LIMIT
constexpr std::uint64_t kMaxPixelCount = QUORREL_IMAGEIO_PIXEL_LIMIT;
#else
constexpr std::uint64_t kMaxPixelCount = std::uint64_t{1} << 30;
#endif

// The image library keeps one bound image and one error stack for the whole
// process: every use of it holds this lock, from binding an image to
// unbinding it.
std::mutex& libraryMutex()
{
    static std::mutex mutex;
    return mutex;
}

void clearLibraryErrors()
{
    while (ilGetError() != IL_NO_ERROR) { }
}

// A library image name, bound while it lives and unbound and deleted however
// the operation ends.
class BoundLibraryImage {
public:
    BoundLibraryImage()
        : m_name(ilGenImage())
    {
        if (m_name != 0)
            ilBindImage(m_name);
    }
    ~BoundLibraryImage()
    {
        if (m_name != 0) {
            ilBindImage(0);
            ilDeleteImage(m_name);
        }
        clearLibraryErrors();
    }
    BoundLibraryImage(const BoundLibraryImage&) = delete;
    BoundLibraryImage& operator=(const BoundLibraryImage&) = delete;

    bool valid() const { return m_name != 0; }

private:
    ILuint m_name;
};

struct FileBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
};

bool readWholeFile(const QString& path, FileBytes& bytes)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    if (size <= 0 || static_cast<std::uint64_t>(size) > SIZE_MAX)
        return false;
    bytes.size = static_cast<std::size_t>(size);
    bytes.data.reset(new (std::nothrow) std::uint8_t[bytes.size]);
    if (!bytes.data)
        return false;
    qint64 done = 0;
    while (done < size) {
        const qint64 read = file.read(reinterpret_cast<char*>(bytes.data.get()) + done, size - done);
        if (read <= 0)
            return false;
        done += read;
    }
    return true;
}

ILenum libraryType(FileKind kind)
{
    switch (kind) {
    case FileKind::Png:
        return IL_PNG;
    case FileKind::Jpeg:
        return IL_JPG;
    case FileKind::Jp2:
        return IL_JP2;
    case FileKind::Bmp:
        return IL_BMP;
    case FileKind::Tga:
        return IL_TGA;
    case FileKind::J2kCodestream:
    case FileKind::Tiff: // decoded here, never by the library
    case FileKind::Dicom:
    case FileKind::Unknown:
        break;
    }
    return IL_TYPE_UNKNOWN;
}

bool libraryImageIs(std::uint32_t width, std::uint32_t height)
{
    return ilGetInteger(IL_IMAGE_WIDTH) == static_cast<ILint>(width)
        && ilGetInteger(IL_IMAGE_HEIGHT) == static_cast<ILint>(height) && ilGetInteger(IL_IMAGE_DEPTH) == 1;
}

// Defines the bound library image from the file: the library decodes it
// from the very bytes that were vetted, so a file changed on disk meanwhile
// cannot slip past the check; where the library cannot, the vetting decoder's
// picture is handed over instead. Reports the order of the rows as defined.
bool defineLibraryImage(FileKind kind, FileBytes& bytes, std::uint32_t frame, VettedFile& vetted, bool& rowsTopFirst)
{
    if (vetted.libraryReadsIt && bytes.size <= 0xffffffffu
        && ilLoadL(libraryType(kind), bytes.data.get(), static_cast<ILuint>(bytes.size)) == IL_TRUE
        && libraryImageIs(vetted.width, vetted.height)) {
        rowsTopFirst = vetted.libraryRowsTopFirst;
        return true;
    }
    clearLibraryErrors();
    if (!vetted.picture.pixels
        && !imagedecode::vetFile(kind, bytes.data.get(), bytes.size, kMaxPixelCount, frame, Detail::KeepPicture,
                                 vetted))
        return false;
    bytes = FileBytes{};
    const bool defined =
        ilTexImage(vetted.width, vetted.height, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, vetted.picture.pixels.get())
        == IL_TRUE;
    vetted.picture = imagedecode::RgbaPicture{};
    rowsTopFirst = true;
    return defined && libraryImageIs(vetted.width, vetted.height);
}

// trunc(extent * fraction + 0.5); a value not below the extent, read as
// unsigned so that a negative one counts as too large, becomes the last index.
std::uint32_t regionStart(std::uint32_t extent, double fraction)
{
    const double start = std::trunc(static_cast<double>(extent) * fraction + 0.5);
    if (!(start >= 0.0) || start >= static_cast<double>(extent))
        return extent - 1;
    return static_cast<std::uint32_t>(start);
}

// trunc(extent * fraction + 0.5), clipped to what is left after start; a
// negative size gives an empty region.
std::uint32_t regionSize(std::uint32_t extent, std::uint32_t start, double fraction)
{
    const double size = std::trunc(static_cast<double>(extent) * fraction + 0.5);
    const std::uint32_t room = extent - start;
    if (!(size > 0.0))
        return 0;
    if (size > static_cast<double>(room))
        return room;
    return static_cast<std::uint32_t>(size);
}

} // namespace

void initImageLibrary()
{
    static std::once_flag initialised;
    std::call_once(initialised, [] {
        ilInit();
        iluInit();
        imagedecode::prepareDicomDecoding();
    });
}

std::string describePixelSizeSource(PixelSizeSource source)
{
    switch (source) {
    case PixelSizeSource::DicomPixelMeasures:
        return "DICOM Pixel Measures";
    case PixelSizeSource::DicomPixelSpacing:
        return "DICOM Pixel Spacing";
    case PixelSizeSource::TiffResolution:
        return "TIFF resolution";
    case PixelSizeSource::ImageJDescription:
        return "ImageJ description";
    case PixelSizeSource::None:
        break;
    }
    return std::string();
}

bool statePicture(const std::wstring& path, StatedPicture& stated)
{
    // Enough for the segments that may come before a JPEG frame header.
    constexpr qint64 kHeadBytes = 64 * 1024;
    stated = StatedPicture{};
    const QString filePath = QString::fromStdWString(path);
    QFile file(filePath);
    if (!QFileInfo(filePath).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(kHeadBytes);
    const auto* headBytes = reinterpret_cast<const std::uint8_t*>(head.constData());
    const auto headSize = static_cast<std::size_t>(std::max<qint64>(head.size(), 0));
    const FileKind kind = imagedecode::kindFromContent(headBytes, headSize, imagedecode::kindFromSuffix(filePath));
    StatedPicture read;
    if (!imagedecode::statePicture(kind, headBytes, headSize, read))
        return false;
    const std::uint64_t pixelCount = std::uint64_t{read.width} * read.height;
    if (pixelCount >= kMaxPixelCount || pixelCount > 1000 * static_cast<std::uint64_t>(file.size()))
        return false;
    stated = read;
    return true;
}

bool hasDicomPreamble(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(132);
    return imagedecode::hasDicomSignature(reinterpret_cast<const std::uint8_t*>(start.constData()),
                                          static_cast<std::size_t>(start.size()));
}

ImageFileInfo inspectImageFile(const std::wstring& path)
{
    ImageFileInfo info;
    FileBytes bytes;
    const QString filePath = QString::fromStdWString(path);
    if (!readWholeFile(filePath, bytes))
        return info;
    const FileKind kind =
        imagedecode::kindFromContent(bytes.data.get(), bytes.size, imagedecode::kindFromSuffix(filePath));
    info.readable =
        imagedecode::countFrames(kind, bytes.data.get(), bytes.size, kMaxPixelCount, info.frameCount, info.failure);
    if (!info.readable)
        info.frameCount = 0;
    return info;
}

namespace {

// The region of a picture whose rows come bottom first; the whole picture
// is handed over as it is.
bool copyRegion(imagedecode::RgbaPicture& picture, std::uint32_t x, std::uint32_t y, std::uint32_t regionWidth,
                std::uint32_t regionHeight, std::unique_ptr<std::uint8_t[]>& pixels)
{
    if (x == 0 && y == 0 && regionWidth == picture.width && regionHeight == picture.height) {
        pixels = std::move(picture.pixels);
        return true;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(regionWidth) * 4;
    pixels.reset(new (std::nothrow) std::uint8_t[rowBytes * regionHeight]);
    if (!pixels)
        return false;
    for (std::uint32_t row = 0; row < regionHeight; ++row) {
        const std::uint8_t* source =
            picture.pixels.get() + ((static_cast<std::size_t>(y) + row) * picture.width + x) * 4;
        std::memcpy(pixels.get() + row * rowBytes, source, rowBytes);
    }
    return true;
}

LoadedRegion loadRegion(const std::wstring& path, double x0, double y0, double width, double height,
                        std::uint32_t frame, bool libraryEverywhere)
{
    initImageLibrary();
    LoadedRegion region;
    region.status = LoadStatus::DecodeFailed;

    // Reading and checking the file need nothing of the image library and
    // run in parallel when several threads load.
    FileBytes bytes;
    const QString filePath = QString::fromStdWString(path);
    if (!readWholeFile(filePath, bytes))
        return region;
    const FileKind kind =
        imagedecode::kindFromContent(bytes.data.get(), bytes.size, imagedecode::kindFromSuffix(filePath));
    VettedFile vetted;
    // Where the check's own decode already gives the library's bytes, the
    // library is not asked to decode the file a second time.
    const Detail detail = libraryEverywhere ? Detail::VerifyOnly : Detail::PictureWhereLibraryAgrees;
    if (!imagedecode::vetFile(kind, bytes.data.get(), bytes.size, kMaxPixelCount, frame, detail, vetted)) {
        region.failure = vetted.failure;
        return region;
    }
    region.frameCount = vetted.frameCount;
    region.pixelSize = vetted.pixelSize;
    std::uint32_t fileWidth = vetted.width;
    std::uint32_t fileHeight = vetted.height;
    const bool checkedPicture = vetted.pictureIsLibrarys && vetted.picture.pixels;
    // Only a decode by the library takes its lock, held until its pixels
    // are copied out; the image is unbound before the lock goes.
    std::unique_lock<std::mutex> lock(libraryMutex(), std::defer_lock);
    std::optional<BoundLibraryImage> image;
    if (checkedPicture) {
        bytes = FileBytes{};
    } else {
        lock.lock();
        image.emplace();
        if (!image->valid()) {
            region.status = LoadStatus::NoImageName;
            return region;
        }
        bool rowsTopFirst = true;
        if (!defineLibraryImage(kind, bytes, frame, vetted, rowsTopFirst))
            return region;
        bytes = FileBytes{};

        // The buffer wants the bottom row first. The flip turns the usual top-first
        // rows around; rows that came bottom first are turned back.
        if (iluFlipImage() != IL_TRUE || (!rowsTopFirst && iluFlipImage() != IL_TRUE))
            return region;
        fileWidth = static_cast<std::uint32_t>(ilGetInteger(IL_IMAGE_WIDTH));
        fileHeight = static_cast<std::uint32_t>(ilGetInteger(IL_IMAGE_HEIGHT));
    }

    const std::uint32_t x = regionStart(fileWidth, x0);
    const std::uint32_t y = regionStart(fileHeight, y0);
    const std::uint32_t regionWidth = regionSize(fileWidth, x, width);
    const std::uint32_t regionHeight = regionSize(fileHeight, y, height);

    region.status = LoadStatus::AllocationFailed;
    const std::uint64_t byteCount = static_cast<std::uint64_t>(regionWidth) * regionHeight * 4;
    if (byteCount == 0 || byteCount > SIZE_MAX)
        return region;
    std::unique_ptr<std::uint8_t[]> pixels;
    if (checkedPicture) {
        if (!copyRegion(vetted.picture, x, y, regionWidth, regionHeight, pixels))
            return region;
    } else {
        pixels.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(byteCount)]);
        if (!pixels)
            return region;
        region.status = LoadStatus::DecodeFailed;
        if (ilCopyPixels(x, y, 0, regionWidth, regionHeight, 1, IL_RGBA, IL_UNSIGNED_BYTE, pixels.get()) != byteCount)
            return region;
    }
    region.status = LoadStatus::Ok;
    region.width = regionWidth;
    region.height = regionHeight;
    region.pixels = std::move(pixels);
    return region;
}

} // namespace

LoadedRegion loadImageRegion(const std::wstring& path, double x0, double y0, double width, double height,
                             std::uint32_t frame)
{
    return loadRegion(path, x0, y0, width, height, frame, false);
}

LoadedRegion loadImageRegionThroughLibrary(const std::wstring& path, double x0, double y0, double width, double height,
                                           std::uint32_t frame)
{
    return loadRegion(path, x0, y0, width, height, frame, true);
}

bool saveRgbaImage(const std::wstring& path, const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height)
{
    if (!pixels || width == 0 || height == 0)
        return false;
    // The library keeps the byte count of an image in 32 bits.
    if (static_cast<std::uint64_t>(width) * height * 4 > 0xffffffffu)
        return false;
    initImageLibrary();
    const std::lock_guard<std::mutex> lock(libraryMutex());
    BoundLibraryImage image;
    if (!image.valid())
        return false;
    // The library copies the pixels; it never writes through the pointer.
    if (ilTexImage(width, height, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, const_cast<std::uint8_t*>(pixels)) != IL_TRUE)
        return false;
    const QByteArray localPath = QFile::encodeName(QString::fromStdWString(path));
    return ilSaveImage(localPath.constData()) == IL_TRUE;
}

} // namespace quorrel
