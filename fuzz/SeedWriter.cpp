// Writes small TIFF and DICOM seed files into CORPUS/tif and CORPUS/dcm:
// the layouts, compressions and transfer syntaxes each decoder handles
// differently. Usage: seed_writer CORPUS

#include <cstdio>

#include <QDir>
#include <QFile>

#include <tiffio.h>

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcxfer.h>

#include "TiffDicomWriters.h"

namespace {

using quorrel::test::DicomImage;
using quorrel::test::TiffPage;

bool save(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TiffPage page(int bits, int channels, std::uint16_t compression, bool tiled, bool planar)
{
    TiffPage page;
    page.width = 13;
    page.height = 7;
    page.bits = bits;
    page.channels = channels;
    page.photometric = channels >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    page.compression = compression;
    page.tiled = tiled;
    page.planar = planar;
    page.sample = [bits](int x, int y, int c) {
        return static_cast<std::uint16_t>((x * 19 + y * 37 + c * 71) * (bits == 16 ? 251 : 1) & 0xffff);
    };
    return page;
}

DicomImage frames(int bits, int syntax, DicomImage::SpacingPlace place)
{
    DicomImage image;
    image.width = 13;
    image.height = 7;
    image.frames = 3;
    image.bitsAllocated = bits;
    image.bitsStored = bits == 8 ? 8 : 12;
    image.sample = [bits](int frame, int x, int y) {
        return static_cast<std::uint16_t>((x * 19 + y * 37 + frame * 50) % (bits == 8 ? 256 : 4096));
    };
    image.pixelSpacing = "0.0039\\0.0115";
    image.spacingPlace = place;
    image.transferSyntax = syntax;
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: seed_writer CORPUS\n");
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    if (!corpus.mkpath(QStringLiteral("tif")) || !corpus.mkpath(QStringLiteral("dcm")))
        return 1;
    const QString tif = corpus.filePath(QStringLiteral("tif/"));
    const QString dcm = corpus.filePath(QStringLiteral("dcm/"));

    TiffPage calibrated = page(16, 1, COMPRESSION_NONE, false, false);
    calibrated.resolutionUnit = RESUNIT_NONE;
    calibrated.xResolution = 0.0869565f;
    calibrated.yResolution = 0.25641f;
    calibrated.description = "ImageJ=1.54f\nunit=micron\n";
    const std::pair<const char*, QByteArray> tiffs[] = {
        {"grey-strips.tif", quorrel::test::tiffFile({page(8, 1, COMPRESSION_NONE, false, false)})},
        {"rgb-lzw-tiles.tif", quorrel::test::tiffFile({page(8, 3, COMPRESSION_LZW, true, false)})},
        {"rgba-deflate-planar.tif", quorrel::test::tiffFile({page(8, 4, COMPRESSION_ADOBE_DEFLATE, false, true)})},
        {"grey-alpha-packbits.tif", quorrel::test::tiffFile({page(8, 2, COMPRESSION_PACKBITS, false, false)})},
        {"grey-16-bit-imagej.tif", quorrel::test::tiffFile({calibrated})},
        {"rgb-16-bit-lzw-tiles.tif", quorrel::test::tiffFile({page(16, 3, COMPRESSION_LZW, true, false)})},
        {"three-pages.tif",
         quorrel::test::tiffFile({page(8, 1, COMPRESSION_NONE, false, false), page(8, 3, COMPRESSION_LZW, false, false),
                                  page(16, 1, COMPRESSION_PACKBITS, true, false)})},
    };
    using Place = DicomImage::SpacingPlace;
    const std::pair<const char*, QByteArray> dicoms[] = {
        {"explicit-8-bit.dcm",
         quorrel::test::dicomFile(frames(8, EXS_LittleEndianExplicit, Place::SharedPixelMeasures))},
        {"implicit-16-bit.dcm", quorrel::test::dicomFile(frames(16, EXS_LittleEndianImplicit, Place::PixelSpacing))},
        {"big-endian-16-bit.dcm",
         quorrel::test::dicomFile(frames(16, EXS_BigEndianExplicit, Place::PerFramePixelMeasures))},
        {"rle-16-bit.dcm", quorrel::test::dicomFile(frames(16, EXS_RLELossless, Place::SharedPixelMeasures))},
        {"jpeg-lossless-16-bit.dcm",
         quorrel::test::dicomFile(frames(16, EXS_JPEGProcess14SV1, Place::SharedPixelMeasures))},
        {"jpeg-ls-8-bit.dcm", quorrel::test::dicomFile(frames(8, EXS_JPEGLSLossless, Place::PerFramePixelMeasures))},
    };
    bool written = true;
    for (const auto& [name, bytes] : tiffs)
        written = save(tif + name, bytes) && written;
    for (const auto& [name, bytes] : dicoms)
        written = save(dcm + name, bytes) && written;
    return written ? 0 : 1;
}
