#pragma once

// Test pictures and hand-written files for the image file tests.

#include <string>

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "imageio/ImageFile.h"

namespace quorrel::test {

// 31 × 21, opaque: red = 8·column, green = 12·row counted from the top,
// blue = 255 − 4·column. Odd width, so BMP rows need padding.
QImage gradientPicture();

// 9 × 5 with four colours; the third is half transparent when asked.
QImage palettePicture(bool translucent);

// 9 × 5 grey: value = 25·column + 7·row counted from the top.
QImage greyPicture();

QByteArray encodeWithQt(const QImage& picture, const char* format);

// File header and 40-byte info header of a BMP; a header of 124 bytes gets
// the rest of version 5 appended. The palette and pixels follow.
QByteArray bmpHeaders(int width, int height, int bitCount, int compression, int headerSize, int paletteBytes,
                      int pixelBytes);

// 24-bit BMP: the 124-byte header of current image editors, or the 40-byte
// one with a negative height (rows top first).
QByteArray bmp24(const QImage& picture, bool version5, bool topDown);

// 8-bit run-length coded BMP of an indexed picture, full 256-entry palette.
QByteArray bmpRle8(const QImage& indexed);

// TGA of type 1 (indexed picture), 2 or 3 (grey picture), plus 8 for run
// lengths; rows bottom first unless topLeft.
QByteArray tga(const QImage& picture, int imageType, bool topLeft);

// Writes bytes into dir and returns the file's path.
std::wstring writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

QByteArray readFile(const QString& path);

// The region holds the whole picture within tolerance per channel, row 0 of
// the region being the picture's bottom row.
::testing::AssertionResult showsPicture(const LoadedRegion& region, const QImage& picture, int tolerance = 0);

} // namespace quorrel::test
