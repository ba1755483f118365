#include "TiffDicomWriters.h"

#include <cstring>

#include <QFile>
#include <QTemporaryDir>

#include <tiffio.h>

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpeg/djrplol.h>
#include <dcmtk/dcmjpls/djencode.h>
#include <dcmtk/dcmjpls/djrparam.h>
#include <dcmtk/oflog/oflog.h>

namespace quorrel::test {

namespace {

QByteArray readBack(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeTiffPage(TIFF* tiff, const TiffPage& page)
{
    const int bytes = page.bits / 8;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(page.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(page.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(page.channels));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(page.bits));
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, page.bits == 32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, page.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (page.channels == 2 || page.channels == 4) {
        const std::uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &alpha);
    }
    if (page.resolutionUnit != 0) {
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, page.resolutionUnit);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, page.xResolution);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.yResolution);
    }
    if (!page.description.empty())
        TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, page.description.c_str());

    const int planes = page.planar ? page.channels : 1;
    const int perPixel = page.planar ? 1 : page.channels;
    const auto put = [&](std::uint8_t* target, int x, int y, int c) {
        const std::uint16_t value = page.sample(x, y, c);
        if (page.bits == 8) {
            *target = static_cast<std::uint8_t>(value);
        } else if (page.bits == 16) {
            std::memcpy(target, &value, 2);
        } else {
            const float real = value;
            std::memcpy(target, &real, 4);
        }
    };
    if (page.tiled) {
        const int tile = 16;
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, tile);
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(tile * tile * perPixel * bytes));
        for (int plane = 0; plane < planes; ++plane) {
            for (int y0 = 0; y0 < page.height; y0 += tile) {
                for (int x0 = 0; x0 < page.width; x0 += tile) {
                    std::fill(buffer.begin(), buffer.end(), 0);
                    for (int y = y0; y < std::min(y0 + tile, page.height); ++y)
                        for (int x = x0; x < std::min(x0 + tile, page.width); ++x)
                            for (int c = 0; c < perPixel; ++c)
                                put(&buffer[static_cast<std::size_t>((((y - y0) * tile + (x - x0)) * perPixel + c)
                                                                     * bytes)],
                                    x, y, page.planar ? plane : c);
                    if (TIFFWriteTile(tiff, buffer.data(), x0, y0, 0, static_cast<std::uint16_t>(plane)) < 0)
                        return false;
                }
            }
        }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 4);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(page.width * perPixel * bytes));
        for (int plane = 0; plane < planes; ++plane) {
            for (int y = 0; y < page.height; ++y) {
                for (int x = 0; x < page.width; ++x)
                    for (int c = 0; c < perPixel; ++c)
                        put(&row[static_cast<std::size_t>((x * perPixel + c) * bytes)], x, y, page.planar ? plane : c);
                if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y),
                                      static_cast<std::uint16_t>(plane))
                    < 0)
                    return false;
            }
        }
    }
    return TIFFWriteDirectory(tiff) == 1;
}

void registerDicomEncoders()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    OFLog::configure(OFLogger::OFF_LOG_LEVEL);
    DJEncoderRegistration::registerCodecs();
    DJLSEncoderRegistration::registerCodecs();
    DcmRLEEncoderRegistration::registerCodecs();
}

void insertPixelSpacing(DcmDataset& dataset, const DicomImage& image)
{
    if (image.pixelSpacing.empty())
        return;
    const char* spacing = image.pixelSpacing.c_str();
    switch (image.spacingPlace) {
    case DicomImage::SpacingPlace::PixelSpacing:
        dataset.putAndInsertString(DCM_PixelSpacing, spacing);
        break;
    case DicomImage::SpacingPlace::SharedPixelMeasures: {
        DcmItem* groups = nullptr;
        DcmItem* measures = nullptr;
        dataset.findOrCreateSequenceItem(DCM_SharedFunctionalGroupsSequence, groups, 0);
        groups->findOrCreateSequenceItem(DCM_PixelMeasuresSequence, measures, 0);
        measures->putAndInsertString(DCM_PixelSpacing, spacing);
        break;
    }
    case DicomImage::SpacingPlace::PerFramePixelMeasures:
        for (int frame = 0; frame < image.frames; ++frame) {
            DcmItem* groups = nullptr;
            DcmItem* measures = nullptr;
            dataset.findOrCreateSequenceItem(DCM_PerFrameFunctionalGroupsSequence, groups, frame);
            groups->findOrCreateSequenceItem(DCM_PixelMeasuresSequence, measures, 0);
            measures->putAndInsertString(DCM_PixelSpacing, spacing);
        }
        break;
    }
}

void insertImageAttributes(DcmDataset& dataset, const DicomImage& image)
{
    char uid[100];
    dataset.putAndInsertString(DCM_SOPClassUID, UID_OphthalmicTomographyImageStorage);
    dataset.putAndInsertString(DCM_SOPInstanceUID, dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT));
    dataset.putAndInsertString(DCM_Modality, "OPT");
    dataset.putAndInsertUint16(DCM_SamplesPerPixel, 1);
    dataset.putAndInsertString(DCM_PhotometricInterpretation, image.monochrome1 ? "MONOCHROME1" : "MONOCHROME2");
    dataset.putAndInsertString(DCM_NumberOfFrames, std::to_string(image.frames).c_str());
    dataset.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(image.height));
    dataset.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(image.width));
    dataset.putAndInsertUint16(DCM_BitsAllocated, static_cast<Uint16>(image.bitsAllocated));
    dataset.putAndInsertUint16(DCM_BitsStored, static_cast<Uint16>(image.bitsStored));
    dataset.putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(image.bitsStored - 1));
    dataset.putAndInsertUint16(DCM_PixelRepresentation, 0);
    insertPixelSpacing(dataset, image);
}

QByteArray savedDicom(DcmFileFormat& file, E_TransferSyntax syntax)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.dcm"));
    if (file.saveFile(path.toLocal8Bit().constData(), syntax).bad())
        return QByteArray();
    return readBack(path);
}

} // namespace

QByteArray tiffFile(const std::vector<TiffPage>& pages)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.tif"));
    TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), "w");
    if (!tiff)
        return QByteArray();
    bool written = true;
    for (const TiffPage& page : pages)
        written = written && writeTiffPage(tiff, page);
    TIFFClose(tiff);
    return written ? readBack(path) : QByteArray();
}

QByteArray dicomFile(const DicomImage& image)
{
    registerDicomEncoders();
    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    insertImageAttributes(dataset, image);
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height * image.frames;
    std::size_t index = 0;
    if (image.bitsAllocated == 8) {
        std::vector<Uint8> samples(count);
        for (int frame = 0; frame < image.frames; ++frame)
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x)
                    samples[index++] = static_cast<Uint8>(image.sample(frame, x, y));
        dataset.putAndInsertUint8Array(DCM_PixelData, samples.data(), static_cast<unsigned long>(count));
    } else {
        std::vector<Uint16> samples(count);
        for (int frame = 0; frame < image.frames; ++frame)
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x)
                    samples[index++] = image.sample(frame, x, y);
        dataset.putAndInsertUint16Array(DCM_PixelData, samples.data(), static_cast<unsigned long>(count));
    }
    const auto syntax = static_cast<E_TransferSyntax>(image.transferSyntax);
    if (DcmXfer(syntax).isEncapsulated()) {
        const DJ_RPLossless jpegLossless;
        const DJLSRepresentationParameter jpegLsLossless(2, OFTrue);
        const DcmRepresentationParameter* parameters = nullptr;
        if (syntax == EXS_JPEGProcess14SV1 || syntax == EXS_JPEGProcess14)
            parameters = &jpegLossless;
        else if (syntax == EXS_JPEGLSLossless)
            parameters = &jpegLsLossless;
        if (dataset.chooseRepresentation(syntax, parameters).bad() || !dataset.canWriteXfer(syntax))
            return QByteArray();
    }
    return savedDicom(file, syntax);
}

QByteArray dicomJpeg2000File()
{
    DicomImage image;
    image.width = 4;
    image.height = 4;
    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    insertImageAttributes(dataset, image);
    auto* pixelData = new DcmPixelData(DCM_PixelData);
    auto* sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
    sequence->insert(new DcmPixelItem(DCM_PixelItemTag)); // empty offset table
    auto* fragment = new DcmPixelItem(DCM_PixelItemTag);
    const Uint8 codestream[] = {0xff, 0x4f, 0xff, 0x51, 0, 0, 0, 0};
    fragment->putUint8Array(codestream, sizeof codestream);
    sequence->insert(fragment);
    pixelData->putOriginalRepresentation(EXS_JPEG2000LosslessOnly, nullptr, sequence);
    dataset.insert(pixelData);
    return savedDicom(file, EXS_JPEG2000LosslessOnly);
}

} // namespace quorrel::test
