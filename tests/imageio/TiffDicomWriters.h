#pragma once

// TIFF and DICOM test files written with libtiff and DCMTK, as device
// software and image tools write them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QByteArray>

namespace quorrel::test {

// Sample of channel c at column x, row y counted from the top.
using SampleFunction = std::function<std::uint16_t(int x, int y, int c)>;

struct TiffPage {
    int width = 0;
    int height = 0;
    int bits = 8; // 8, 16 or 32 (then floating point)
    int channels = 1; // grey, grey + alpha, RGB, RGBA
    std::uint16_t photometric = 1; // PHOTOMETRIC_MINISBLACK
    std::uint16_t compression = 1; // COMPRESSION_NONE
    bool tiled = false; // 16 x 16 tiles, else strips of 4 rows
    bool planar = false;
    SampleFunction sample;
    // Resolution tags when resolutionUnit is not 0 (1 none, 2 inch, 3 cm).
    std::uint16_t resolutionUnit = 0;
    float xResolution = 0.0f;
    float yResolution = 0.0f;
    std::string description;
};

// The file's bytes; empty when libtiff refuses to write it.
QByteArray tiffFile(const std::vector<TiffPage>& pages);

struct DicomImage {
    int width = 0;
    int height = 0;
    int frames = 1;
    int bitsAllocated = 8;
    int bitsStored = 8;
    bool monochrome1 = false;
    std::function<std::uint16_t(int frame, int x, int y)> sample;
    // "row\\column" in millimetres; empty for none.
    std::string pixelSpacing;
    enum class SpacingPlace {
        PixelSpacing,
        SharedPixelMeasures,
        PerFramePixelMeasures
    } spacingPlace = SpacingPlace::SharedPixelMeasures;
    // A DCMTK transfer syntax (E_TransferSyntax); explicit VR little endian by default.
    int transferSyntax = 2;
};

// The file's bytes (with preamble); empty when DCMTK cannot write it.
QByteArray dicomFile(const DicomImage& image);

// An encapsulated JPEG 2000 file whose one fragment is not decoded by anyone.
QByteArray dicomJpeg2000File();

} // namespace quorrel::test
