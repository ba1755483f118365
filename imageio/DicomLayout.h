#pragma once

// Structure check of a DICOM file (preamble, "DICM", file meta group, data
// set) before the DICOM library parses it: every element's length against
// the file and the element holding it, every sequence and item to its end or
// delimiter, the elements of each data set in ascending order, and the
// picture's size from its attributes against the pixel limit and the pixel
// data actually present. Files that end early or whose lengths disagree are
// refused here, before any allocation a length would ask for.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorrel::imagedecode {

struct DicomLayout {
    std::string transferSyntax; // UID, without padding
    bool encapsulated = false; // pixel data in fragments (a compressed syntax)
    std::uint32_t rows = 0;
    std::uint32_t columns = 0;
    std::uint32_t bitsAllocated = 0;
    std::uint32_t bitsStored = 0;
    std::uint32_t highBit = 0;
    bool signedSamples = false;
    bool inverted = false; // MONOCHROME1: the lowest value is white
    std::uint32_t frameCount = 1;
};

// "DICM" after the 128-byte preamble.
bool hasDicomSignature(const std::uint8_t* data, std::size_t size);

// Checks a DICOM file holding a grey picture of one or more frames, 8 or 16
// bits allocated. False for anything malformed or truncated, a picture of
// maxPixelCount or more pixels, pixel data too short for the frames, or a
// variant not read (colour, deflated data set), with failure set where there
// is more to say than that the file is damaged.
bool checkDicomLayout(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, DicomLayout& layout,
                      std::string& failure);

} // namespace quorrel::imagedecode
