#pragma once

// Complete decoders that read a file before the image library is allowed to,
// and that supply the picture themselves where the library cannot decode it.
// Internal to imageio: the library's own readers stop at the end of a file
// only sometimes, so nothing reaches them that one of these has not read to
// its last byte.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <QString>

#include "imageio/ImageFile.h"

namespace quorrel::imagedecode {

enum class FileKind { Unknown, Png, Jpeg, Jp2, J2kCodestream, Bmp, Tga, Tiff, Dicom };

// A picture held in memory: RGBA bytes, rows packed, row 0 the TOP row as
// the picture is shown (the opposite of the view's buffer).
struct RgbaPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::unique_ptr<std::uint8_t[]> pixels;
};

// What a complete decode learnt about a file.
struct VettedFile {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // The image library decodes this variant of the format correctly and
    // within its own 32-bit size arithmetic.
    bool libraryReadsIt = false;
    // The order in which the image library hands over the rows it decoded.
    bool libraryRowsTopFirst = true;
    // Set when the decode kept the picture (always for the formats decoded
    // through Qt, OpenJPEG, libtiff and DCMTK, on request for the others).
    RgbaPicture picture;
    // The picture's rows come bottom first and are byte for byte those the
    // image library would give (only with Detail::PictureWhereLibraryAgrees).
    bool pictureIsLibrarys = false;
    std::uint32_t frameCount = 1; // a TIFF's pages, a DICOM object's frames
    FilePixelSize pixelSize;
    std::string failure; // what was wrong, when there is more to say
};

enum class Detail {
    VerifyOnly,
    KeepPicture,
    // Keep the picture, bottom row first, where this variant of PNG or JPEG
    // decodes to exactly the library's bytes; only verify otherwise.
    PictureWhereLibraryAgrees
};

// Kind named by the path's suffix, any case; Unknown for other suffixes.
FileKind kindFromSuffix(const QString& path);

// Kind given by the file's signature; TGA has none, so a file without a known
// signature counts as TGA only when its suffix says so. Unknown otherwise.
FileKind kindFromContent(const std::uint8_t* data, std::size_t size, FileKind suffixKind);

// Reads the file completely, and of a TIFF or DICOM file the structure of
// every page or frame and the pixels of the one asked for. False when the
// file is truncated, corrupt, of a variant no decoder here reads, when its
// header gives maxPixelCount or more pixels (checked before any pixel is
// decoded), or when frame is past the last one. With KeepPicture the picture
// is always filled on success.
bool vetFile(FileKind kind, const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount,
             std::uint32_t frame, Detail detail, VettedFile& result);

// The number of frames (pages) of a file, from its structure alone; 1 for
// the single-picture formats. False, with a failure where there is one to
// tell, when the structure does not hold together.
bool countFrames(FileKind kind, const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount,
                 std::uint32_t& frameCount, std::string& failure);

// The size and kind of picture that the header of a PNG or JPEG file
// states, read from head (the file's first size bytes, however many were
// read) with nothing else checked. False for the other kinds, and when the
// head does not hold them or states an empty picture.
bool statePicture(FileKind kind, const std::uint8_t* head, std::size_t size, StatedPicture& stated);

} // namespace quorrel::imagedecode
