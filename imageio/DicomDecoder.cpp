#include "imageio/DicomDecoder.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

#include <dcmtk/config/osconfig.h> // first, as every DCMTK program must

#include <dcmtk/dcmdata/dccodec.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>

#include "imageio/SampleWindow.h"

namespace quorrel::imagedecode {

namespace {

bool readDicom(const std::uint8_t* data, std::size_t size, DcmFileFormat& file)
{
    DcmInputBufferStream stream;
    stream.setBuffer(data, static_cast<offile_off_t>(size));
    stream.setEos();
    file.transferInit();
    const OFCondition status = file.read(stream);
    file.transferEnd();
    return status.good() && file.getDataset();
}

// DCMTK must see the picture the structure check saw.
bool agreesWithLayout(DcmDataset& dataset, const DicomLayout& layout)
{
    Uint16 rows = 0;
    Uint16 columns = 0;
    Uint16 bitsAllocated = 0;
    return dataset.findAndGetUint16(DCM_Rows, rows).good() && rows == layout.rows
        && dataset.findAndGetUint16(DCM_Columns, columns).good() && columns == layout.columns
        && dataset.findAndGetUint16(DCM_BitsAllocated, bitsAllocated).good() && bitsAllocated == layout.bitsAllocated;
}

enum class SpacingState { Absent, Bad, Good };

SpacingState readPixelSpacing(DcmItem& item, double& rowSpacing, double& columnSpacing)
{
    DcmElement* element = nullptr;
    if (item.findAndGetElement(DCM_PixelSpacing, element, OFFalse).bad() || !element)
        return SpacingState::Absent;
    Float64 row = 0.0;
    Float64 column = 0.0;
    if (item.findAndGetFloat64(DCM_PixelSpacing, row, 0).bad()
        || item.findAndGetFloat64(DCM_PixelSpacing, column, 1).bad() || !std::isfinite(row) || !std::isfinite(column)
        || !(row > 0.0) || !(column > 0.0))
        return SpacingState::Bad;
    rowSpacing = row;
    columnSpacing = column;
    return SpacingState::Good;
}

SpacingState readPixelMeasures(DcmItem* groups, double& rowSpacing, double& columnSpacing)
{
    DcmItem* measures = nullptr;
    if (!groups || groups->findAndGetSequenceItem(DCM_PixelMeasuresSequence, measures, 0).bad() || !measures)
        return SpacingState::Absent;
    return readPixelSpacing(*measures, rowSpacing, columnSpacing);
}

// The frame's own Pixel Measures, else the shared ones, else the image's
// Pixel Spacing. The first value is the spacing of rows (down, axial), the
// second that of columns (across, lateral), both in millimetres.
FilePixelSize readPixelSize(DcmDataset& dataset, std::uint32_t frame)
{
    FilePixelSize size;
    double rowSpacing = 0.0;
    double columnSpacing = 0.0;
    DcmItem* groups = nullptr;
    dataset.findAndGetSequenceItem(DCM_PerFrameFunctionalGroupsSequence, groups, static_cast<signed long>(frame));
    SpacingState state = readPixelMeasures(groups, rowSpacing, columnSpacing);
    if (state == SpacingState::Absent) {
        groups = nullptr;
        dataset.findAndGetSequenceItem(DCM_SharedFunctionalGroupsSequence, groups, 0);
        state = readPixelMeasures(groups, rowSpacing, columnSpacing);
    }
    size.source = PixelSizeSource::DicomPixelMeasures;
    if (state == SpacingState::Absent) {
        state = readPixelSpacing(dataset, rowSpacing, columnSpacing);
        size.source = PixelSizeSource::DicomPixelSpacing;
    }
    if (state != SpacingState::Good) {
        size = FilePixelSize{};
        size.problem = state == SpacingState::Absent ? "the DICOM file gives no Pixel Spacing"
                                                     : "the DICOM Pixel Spacing is zero, negative or incomplete";
        return size;
    }
    size.lateralMicrons = columnSpacing * 1000.0;
    size.axialMicrons = rowSpacing * 1000.0;
    return size;
}

// A frame's stored values as bytes: bits stored taken from below the high
// bit, sign-extended when signed; full-range 8-bit values unchanged, all
// others through the percentile window; MONOCHROME1 turned over.
bool frameToRgba(const DicomLayout& layout, const std::uint8_t* frame, RgbaPicture& picture)
{
    const std::uint64_t pixelCount = static_cast<std::uint64_t>(layout.rows) * layout.columns;
    auto pixels = std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[pixelCount * 4]);
    if (!pixels)
        return false;
    const bool wide = layout.bitsAllocated == 16;
    const std::uint32_t shift = layout.highBit + 1 - layout.bitsStored;
    const std::uint32_t mask = (1u << layout.bitsStored) - 1u;
    const std::uint32_t signBit = 1u << (layout.bitsStored - 1);
    const auto key = [&](std::uint64_t pixel) -> std::uint16_t {
        std::uint32_t word = 0;
        if (wide) {
            std::uint16_t value = 0;
            std::memcpy(&value, frame + pixel * 2, 2);
            word = value;
        } else {
            word = frame[pixel];
        }
        std::int32_t value = static_cast<std::int32_t>((word >> shift) & mask);
        if (layout.signedSamples && (static_cast<std::uint32_t>(value) & signBit))
            value -= static_cast<std::int32_t>(mask) + 1;
        return static_cast<std::uint16_t>(layout.signedSamples ? value + 32768 : value);
    };

    const bool direct = !wide && layout.bitsStored == 8 && !layout.signedSamples;
    SampleWindow window;
    if (!direct) {
        for (std::uint64_t pixel = 0; pixel < pixelCount; ++pixel)
            window.add(key(pixel));
        window.finish();
    }
    for (std::uint64_t pixel = 0; pixel < pixelCount; ++pixel) {
        std::uint8_t grey = direct ? frame[pixel] : window.byte(key(pixel));
        if (layout.inverted)
            grey = static_cast<std::uint8_t>(255 - grey);
        std::uint8_t* target = pixels.get() + pixel * 4;
        target[0] = target[1] = target[2] = grey;
        target[3] = 255;
    }
    picture = RgbaPicture{layout.columns, layout.rows, std::move(pixels)};
    return true;
}

} // namespace

void prepareDicomDecoding()
{
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        OFLog::configure(OFLogger::OFF_LOG_LEVEL);
        DJDecoderRegistration::registerCodecs();
        DJLSDecoderRegistration::registerCodecs();
        DcmRLEDecoderRegistration::registerCodecs();
        // Reads the data dictionary from disk.
        (void)dcmDataDict.isDictionaryLoaded();
    });
}

bool countDicomFrames(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount,
                      std::uint32_t& frameCount, std::string& failure)
{
    DicomLayout layout;
    if (!checkDicomLayout(data, size, maxPixelCount, layout, failure))
        return false;
    frameCount = layout.frameCount;
    return true;
}

bool decodeDicom(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, std::uint32_t frame,
                 VettedFile& result)
{
    DicomLayout layout;
    if (!checkDicomLayout(data, size, maxPixelCount, layout, result.failure))
        return false;
    if (frame >= layout.frameCount) {
        result.failure = "frame " + std::to_string(frame) + " asked for, the DICOM file has "
            + std::to_string(layout.frameCount) + (layout.frameCount == 1 ? " frame" : " frames");
        return false;
    }
    prepareDicomDecoding();
    if (!dcmDataDict.isDictionaryLoaded()) {
        result.failure = "DCMTK's data dictionary is not installed";
        return false;
    }
    const DcmXfer syntax(layout.transferSyntax.c_str());
    if (layout.encapsulated
        && (syntax.getXfer() == EXS_Unknown
            || !DcmCodecList::canChangeCoding(syntax.getXfer(), EXS_LittleEndianExplicit))) {
        result.failure = "DICOM compressed as " + std::string(syntax.getXferName()) + " (" + layout.transferSyntax
            + "), which cannot be decoded here";
        return false;
    }

    DcmFileFormat file;
    if (!readDicom(data, size, file))
        return false;
    DcmDataset& dataset = *file.getDataset();
    DcmElement* element = nullptr;
    if (!agreesWithLayout(dataset, layout) || dataset.findAndGetElement(DCM_PixelData, element, OFFalse).bad()
        || !element || element->ident() != EVR_PixelData)
        return false;
    auto* pixelData = static_cast<DcmPixelData*>(element);
    const std::uint64_t frameBytes =
        static_cast<std::uint64_t>(layout.rows) * layout.columns * (layout.bitsAllocated / 8);
    Uint32 bufferSize = 0;
    if (pixelData->getUncompressedFrameSize(&dataset, bufferSize).bad() || bufferSize < frameBytes)
        return false;
    bufferSize += bufferSize % 2;
    std::unique_ptr<std::uint8_t[]> frameBuffer(new (std::nothrow) std::uint8_t[bufferSize]);
    if (!frameBuffer)
        return false;
    Uint32 startFragment = 0;
    OFString colourModel;
    if (pixelData->getUncompressedFrame(&dataset, frame, startFragment, frameBuffer.get(), bufferSize, colourModel)
            .bad())
        return false;
    if (!frameToRgba(layout, frameBuffer.get(), result.picture))
        return false;

    result.width = layout.columns;
    result.height = layout.rows;
    result.libraryReadsIt = false;
    result.libraryRowsTopFirst = true;
    result.frameCount = layout.frameCount;
    result.pixelSize = readPixelSize(dataset, frame);
    return true;
}

} // namespace quorrel::imagedecode
