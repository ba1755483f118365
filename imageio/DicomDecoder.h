#pragma once

// DICOM through DCMTK: grey pictures of one or more frames, 8 or 16 bits
// allocated, uncompressed (implicit or explicit VR) or in a compressed
// syntax that DCMTK decodes (JPEG baseline, extended and lossless, JPEG-LS,
// RLE). The structure check of DicomLayout.h runs first; DCMTK then parses
// the same bytes. Internal to imageio.

#include <cstddef>
#include <cstdint>
#include <string>

#include "imageio/DicomLayout.h"
#include "imageio/FormatDecoders.h"

namespace quorrel::imagedecode {

// Registers DCMTK's decoders, silences its log (it would print its
// complaints about damaged files on standard error) and loads its data
// dictionary, once per process; decodeDicom calls it itself.
void prepareDicomDecoding();

// Decodes frame (0-based) into result.picture (rows top first) and reads the
// frame count and the pixel size. False, with result.failure where there is
// more to say, for a damaged file, an unsupported variant or syntax, or a
// frame past the last.
bool decodeDicom(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, std::uint32_t frame,
                 VettedFile& result);

bool countDicomFrames(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount,
                      std::uint32_t& frameCount, std::string& failure);

} // namespace quorrel::imagedecode
