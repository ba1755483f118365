#pragma once

// Decoding image files into the view's RGBA buffer and writing the buffer
// back. Shared by the window and the headless measurement command; needs no
// GL context.

#include <cstdint>
#include <memory>
#include <string>

class QString;

namespace quorrel {

enum class LoadStatus {
    Ok, // pixels hold the region
    NoImageName, // the image library could not provide an image name
    DecodeFailed, // no decoder could read the file completely, or it is too large
    AllocationFailed // the region's buffer could not be obtained (or the region is empty)
};

enum class PixelSizeSource {
    None, // the file states no usable pixel size
    DicomPixelMeasures, // Pixel Measures of the functional groups
    DicomPixelSpacing, // the image's Pixel Spacing
    TiffResolution, // X and Y resolution in pixels per centimetre or inch
    ImageJDescription // X and Y resolution in pixels per the unit the ImageJ description names
};

// The size of one pixel as the file states it, in microns.
struct FilePixelSize {
    double lateralMicrons = 0.0; // across: DICOM column spacing, TIFF X resolution
    double axialMicrons = 0.0; // down: DICOM row spacing, TIFF Y resolution
    PixelSizeSource source = PixelSizeSource::None; // None: both sizes are 0
    // Why a pixel size the file should carry was not taken (a DICOM image
    // without Pixel Spacing, a spacing of zero); empty otherwise.
    std::string problem;
};

// Where a pixel size came from, in words ("DICOM Pixel Measures"); empty for None.
std::string describePixelSizeSource(PixelSizeSource source);

// A region of a decoded file: RGBA bytes, rows packed, row 0 the bottom row.
// 16-bit samples (TIFF, DICOM) become bytes by the rule of imageio/SampleWindow.h.
struct LoadedRegion {
    LoadStatus status = LoadStatus::DecodeFailed;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::unique_ptr<std::uint8_t[]> pixels;
    std::uint32_t frameCount = 0; // frames of a DICOM object, pages of a TIFF, 1 otherwise
    FilePixelSize pixelSize;
    // With DecodeFailed, what was wrong when there is more to say than that
    // the file is not a complete picture ("frame 5 asked for, the file has 3");
    // often empty.
    std::string failure;
};

// What a file holds, found without decoding its pictures.
struct ImageFileInfo {
    bool readable = false; // a file of a known kind whose structure holds together
    std::uint32_t frameCount = 0;
    std::string failure; // as in LoadedRegion
};

// Initialises the image library and the DICOM decoders once per process;
// later calls do nothing.
// The two operations below call it themselves.
void initImageLibrary();

// Safe to call from several threads: the file is read and checked in
// parallel, while every call into the image library is serialized by one
// lock, the library not being thread-safe.
//
// Decodes frame (0-based; a TIFF's page) of the file at path and copies the
// region given as fractions of the frame's size (x0, y0 from the
// bottom-left, width, height; (0, 0, 1, 1) is the whole frame) into a new
// RGBA buffer. A frame past the last one gives DecodeFailed.
LoadedRegion loadImageRegion(const std::wstring& path, double x0, double y0, double width, double height,
                             std::uint32_t frame = 0);

// As loadImageRegion, but the image library decodes every format it reads,
// even where the check's own decode already holds the same bytes; the tests
// and the benchmark compare the two.
LoadedRegion loadImageRegionThroughLibrary(const std::wstring& path, double x0, double y0, double width, double height,
                                           std::uint32_t frame = 0);

// The number of frames of the file at path, checked as far as it can be
// without decoding pictures; a single-picture format counts one.
ImageFileInfo inspectImageFile(const std::wstring& path);

// A picture as a file's header states it, before anything else is read.
struct StatedPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool grey = false; // one grey sample a pixel, no alpha
};

// The picture that a PNG or JPEG file's header states, read from the head of
// the file with nothing else checked: a hint for making memory ready before
// the file is decoded, not a promise that it decodes. False for the other
// kinds, for a head that does not state it, and for a picture past the
// decoders' limit or of over a thousand pixels per byte of file.
bool statePicture(const std::wstring& path, StatedPicture& stated);

// True when the file starts like a DICOM file (the 128-byte preamble and
// "DICM"): files of a DICOM archive often have no suffix.
bool hasDicomPreamble(const QString& path);

// Writes an RGBA buffer (bottom row first) to path; the file type follows the
// extension. False when there is no buffer or the library gives no image name,
// and when the library does not write the file: it never overwrites an
// existing file, and refuses an unknown extension or an empty picture.
bool saveRgbaImage(const std::wstring& path, const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height);

} // namespace quorrel
