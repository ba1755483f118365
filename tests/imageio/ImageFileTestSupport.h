#pragma once

// Test pictures and files for the image file tests.

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

// A file under tests/data/imageio.
std::wstring dataPath(const QString& name);

// Writes bytes into dir and returns the file's path.
std::wstring writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

QByteArray readFile(const std::wstring& path);

// The region holds the whole picture within tolerance per channel, row 0 of
// the region being the picture's bottom row.
::testing::AssertionResult showsPicture(const LoadedRegion& region, const QImage& picture, int tolerance = 0);

} // namespace quorrel::test
