#include "imageio/DicomLayout.h"

#include <cstring>

namespace quorrel::imagedecode {

namespace {

constexpr std::size_t kPreambleSize = 128;
constexpr std::uint32_t kUndefinedLength = 0xffffffffu;
constexpr int kMaxSequenceDepth = 16;

constexpr std::uint32_t tagOf(std::uint32_t group, std::uint32_t element)
{
    return (group << 16) | element;
}

constexpr std::uint32_t kTransferSyntaxTag = tagOf(0x0002, 0x0010);
constexpr std::uint32_t kSamplesPerPixelTag = tagOf(0x0028, 0x0002);
constexpr std::uint32_t kPhotometricTag = tagOf(0x0028, 0x0004);
constexpr std::uint32_t kNumberOfFramesTag = tagOf(0x0028, 0x0008);
constexpr std::uint32_t kRowsTag = tagOf(0x0028, 0x0010);
constexpr std::uint32_t kColumnsTag = tagOf(0x0028, 0x0011);
constexpr std::uint32_t kBitsAllocatedTag = tagOf(0x0028, 0x0100);
constexpr std::uint32_t kBitsStoredTag = tagOf(0x0028, 0x0101);
constexpr std::uint32_t kHighBitTag = tagOf(0x0028, 0x0102);
constexpr std::uint32_t kPixelRepresentationTag = tagOf(0x0028, 0x0103);
constexpr std::uint32_t kPixelDataTag = tagOf(0x7fe0, 0x0010);
constexpr std::uint32_t kItemElement = 0xe000;
constexpr std::uint32_t kItemDelimiterElement = 0xe00d;
constexpr std::uint32_t kSequenceDelimiterElement = 0xe0dd;

// Value representations whose explicit header has a 32-bit length.
bool hasLongLength(const char* vr)
{
    static const char* const longOnes[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                           "SV", "UC", "UN", "UR", "UT", "UV"};
    for (const char* candidate : longOnes) {
        if (std::memcmp(vr, candidate, 2) == 0)
            return true;
    }
    return false;
}

std::string trimmedText(const std::uint8_t* bytes, std::size_t length)
{
    std::string text(reinterpret_cast<const char*>(bytes), length);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && text[first] == ' ')
        ++first;
    return text.substr(first);
}

// What the data set's top level says about the picture.
struct PictureAttributes {
    std::uint32_t samplesPerPixel = 1;
    std::uint32_t rows = 0;
    std::uint32_t columns = 0;
    std::uint32_t bitsAllocated = 0;
    std::uint32_t bitsStored = 0;
    std::uint32_t highBit = 0;
    bool highBitGiven = false;
    std::uint32_t pixelRepresentation = 0;
    std::string photometric;
    std::string numberOfFrames;
    bool hasPixelData = false;
    std::uint64_t pixelDataLength = 0; // native pixel data
    std::uint64_t fragmentCount = 0; // encapsulated pixel data
};

class DicomWalker {
public:
    DicomWalker(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    std::uint32_t u16(std::size_t offset) const
    {
        const std::uint32_t first = m_data[offset];
        const std::uint32_t second = m_data[offset + 1];
        return m_bigEndian ? (first << 8) | second : first | (second << 8);
    }
    std::uint32_t u32(std::size_t offset) const
    {
        return m_bigEndian ? (u16(offset) << 16) | u16(offset + 2) : u16(offset) | (u16(offset + 2) << 16);
    }

    // File meta elements: explicit VR little endian, group 0002, no sequences.
    bool walkMetaGroup(std::size_t& offset, std::string& transferSyntax)
    {
        while (m_size - offset >= 8 && u16(offset) == 0x0002) {
            const std::uint32_t tag = tagOf(u16(offset), u16(offset + 2));
            const char* vr = reinterpret_cast<const char*>(m_data + offset + 4);
            std::uint64_t length = 0;
            if (hasLongLength(vr)) {
                if (m_size - offset < 12)
                    return false;
                length = u32(offset + 8);
                offset += 12;
            } else {
                length = u16(offset + 6);
                offset += 8;
            }
            if (length > m_size - offset)
                return false;
            if (tag == kTransferSyntaxTag)
                transferSyntax = trimmedText(m_data + offset, static_cast<std::size_t>(length));
            offset += static_cast<std::size_t>(length);
        }
        return !transferSyntax.empty();
    }

    void setEncoding(bool explicitVr, bool bigEndian, bool encapsulated)
    {
        m_explicitVr = explicitVr;
        m_bigEndian = bigEndian;
        m_encapsulated = encapsulated;
    }

    // The elements of one data set up to end, or, when delimited, up to its
    // item delimiter (end then bounds the search).
    bool walkDataSet(std::size_t& offset, std::size_t end, bool delimited, int depth)
    {
        std::uint32_t previousTag = 0;
        bool first = true;
        while (true) {
            if (!delimited && offset == end)
                return true;
            if (end - offset < 8)
                return false;
            const std::uint32_t group = u16(offset);
            const std::uint32_t element = u16(offset + 2);
            if (group == 0xfffe) {
                if (!delimited || element != kItemDelimiterElement || u32(offset + 4) != 0)
                    return false;
                offset += 8;
                return true;
            }
            const std::uint32_t tag = tagOf(group, element);
            // The library files elements by tag; in order, what it reads is
            // what was checked here.
            if (!first && tag <= previousTag)
                return false;
            first = false;
            previousTag = tag;

            char vr[2] = {0, 0};
            std::uint32_t length = 0;
            if (m_explicitVr) {
                std::memcpy(vr, m_data + offset + 4, 2);
                if (vr[0] < 'A' || vr[0] > 'Z' || vr[1] < 'A' || vr[1] > 'Z')
                    return false;
                if (hasLongLength(vr)) {
                    if (end - offset < 12)
                        return false;
                    length = u32(offset + 8);
                    offset += 12;
                } else {
                    length = u16(offset + 6);
                    offset += 8;
                }
            } else {
                length = u32(offset + 4);
                offset += 8;
            }

            // An icon's pixel data, further down, is coded like the image's.
            if (tag == kPixelDataTag && (depth == 0 || length == kUndefinedLength)) {
                if (!walkPixelData(offset, end, length, depth == 0))
                    return false;
                continue;
            }
            const bool undefined = length == kUndefinedLength;
            const bool unknownSequence = m_explicitVr && std::memcmp(vr, "UN", 2) == 0 && undefined;
            const bool sequence = m_explicitVr ? std::memcmp(vr, "SQ", 2) == 0 || unknownSequence
                                               : undefined || startsWithItem(offset, end, length);
            if (sequence) {
                if (depth >= kMaxSequenceDepth)
                    return false;
                // An unknown element of undefined length holds implicit VR
                // little endian items, whatever the file's syntax.
                const bool savedExplicit = m_explicitVr;
                const bool savedBigEndian = m_bigEndian;
                if (unknownSequence) {
                    m_explicitVr = false;
                    m_bigEndian = false;
                }
                bool walked = false;
                if (undefined) {
                    walked = walkSequence(offset, end, true, depth + 1);
                } else if (length <= end - offset) {
                    const std::size_t sequenceEnd = offset + length;
                    walked = walkSequence(offset, sequenceEnd, false, depth + 1) && offset == sequenceEnd;
                }
                m_explicitVr = savedExplicit;
                m_bigEndian = savedBigEndian;
                if (!walked)
                    return false;
                continue;
            }
            if (undefined || length > end - offset)
                return false;
            if (depth == 0)
                record(tag, offset, length);
            offset += length;
        }
    }

    PictureAttributes& attributes() { return m_attributes; }

private:
    bool startsWithItem(std::size_t offset, std::size_t end, std::uint32_t length) const
    {
        return length >= 8 && end - offset >= 8 && u16(offset) == 0xfffe && u16(offset + 2) == kItemElement;
    }

    bool walkSequence(std::size_t& offset, std::size_t end, bool delimited, int depth)
    {
        while (true) {
            if (!delimited && offset == end)
                return true;
            if (end - offset < 8 || u16(offset) != 0xfffe)
                return false;
            const std::uint32_t element = u16(offset + 2);
            const std::uint32_t length = u32(offset + 4);
            offset += 8;
            if (element == kSequenceDelimiterElement)
                return delimited && length == 0;
            if (element != kItemElement)
                return false;
            if (length == kUndefinedLength) {
                if (!walkDataSet(offset, end, true, depth))
                    return false;
            } else {
                if (length > end - offset)
                    return false;
                const std::size_t itemEnd = offset + length;
                if (!walkDataSet(offset, itemEnd, false, depth) || offset != itemEnd)
                    return false;
            }
        }
    }

    // Native pixel data has a defined length; encapsulated pixel data is an
    // offset table and the fragments, each an item of defined length, up to
    // the sequence delimiter.
    bool walkPixelData(std::size_t& offset, std::size_t end, std::uint32_t length, bool image)
    {
        if (image) {
            if (m_attributes.hasPixelData)
                return false;
            m_attributes.hasPixelData = true;
        }
        if (!m_encapsulated) {
            if (length == kUndefinedLength || length > end - offset)
                return false;
            if (image)
                m_attributes.pixelDataLength = length;
            offset += length;
            return true;
        }
        if (length != kUndefinedLength)
            return false;
        bool offsetTable = true;
        while (true) {
            if (end - offset < 8 || u16(offset) != 0xfffe)
                return false;
            const std::uint32_t element = u16(offset + 2);
            const std::uint32_t itemLength = u32(offset + 4);
            offset += 8;
            if (element == kSequenceDelimiterElement)
                return itemLength == 0 && !offsetTable;
            if (element != kItemElement || itemLength == kUndefinedLength || itemLength > end - offset)
                return false;
            offset += itemLength;
            if (!offsetTable && image)
                ++m_attributes.fragmentCount;
            offsetTable = false;
        }
    }

    void record(std::uint32_t tag, std::size_t offset, std::uint32_t length)
    {
        std::uint32_t* word = nullptr;
        switch (tag) {
        case kSamplesPerPixelTag:
            word = &m_attributes.samplesPerPixel;
            break;
        case kRowsTag:
            word = &m_attributes.rows;
            break;
        case kColumnsTag:
            word = &m_attributes.columns;
            break;
        case kBitsAllocatedTag:
            word = &m_attributes.bitsAllocated;
            break;
        case kBitsStoredTag:
            word = &m_attributes.bitsStored;
            break;
        case kHighBitTag:
            word = &m_attributes.highBit;
            m_attributes.highBitGiven = true;
            break;
        case kPixelRepresentationTag:
            word = &m_attributes.pixelRepresentation;
            break;
        case kPhotometricTag:
            m_attributes.photometric = trimmedText(m_data + offset, length);
            return;
        case kNumberOfFramesTag:
            m_attributes.numberOfFrames = trimmedText(m_data + offset, length);
            return;
        default:
            return;
        }
        // An unsigned short; a missing value counts as zero and is refused later.
        *word = length >= 2 ? u16(offset) : 0;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_explicitVr = true;
    bool m_bigEndian = false;
    bool m_encapsulated = false;
    PictureAttributes m_attributes;
};

bool parseFrameCount(const std::string& text, std::uint32_t& count)
{
    if (text.empty())
        return true; // absent: one frame
    std::uint64_t value = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
        if (value > 0x7fffffffu)
            return false;
    }
    if (value == 0)
        return false;
    count = static_cast<std::uint32_t>(value);
    return true;
}

} // namespace

bool hasDicomSignature(const std::uint8_t* data, std::size_t size)
{
    return size >= kPreambleSize + 4 && std::memcmp(data + kPreambleSize, "DICM", 4) == 0;
}

bool checkDicomLayout(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixelCount, DicomLayout& layout,
                      std::string& failure)
{
    if (!hasDicomSignature(data, size))
        return false;
    DicomWalker walker(data, size);
    std::size_t offset = kPreambleSize + 4;
    if (!walker.walkMetaGroup(offset, layout.transferSyntax))
        return false;

    const std::string& syntax = layout.transferSyntax;
    if (syntax == "1.2.840.10008.1.2.1.99") {
        failure = "DICOM file whose data set is deflate-compressed";
        return false;
    }
    const bool implicitLittle = syntax == "1.2.840.10008.1.2";
    const bool explicitBig = syntax == "1.2.840.10008.1.2.2";
    layout.encapsulated = !implicitLittle && !explicitBig && syntax != "1.2.840.10008.1.2.1";
    walker.setEncoding(!implicitLittle, explicitBig, layout.encapsulated);
    if (!walker.walkDataSet(offset, size, false, 0) || offset != size)
        return false;

    const PictureAttributes& picture = walker.attributes();
    if (!picture.hasPixelData || picture.rows == 0 || picture.columns == 0)
        return false;
    if (picture.samplesPerPixel != 1
        || (picture.photometric != "MONOCHROME1" && picture.photometric != "MONOCHROME2")) {
        failure = "DICOM image in colour (" + (picture.photometric.empty() ? "?" : picture.photometric)
            + "): only grey images are read";
        return false;
    }
    if (picture.bitsAllocated != 8 && picture.bitsAllocated != 16) {
        failure = "DICOM image with " + std::to_string(picture.bitsAllocated)
            + " bits allocated per sample (read are 8 and 16)";
        return false;
    }
    layout.bitsAllocated = picture.bitsAllocated;
    layout.bitsStored = picture.bitsStored == 0 ? picture.bitsAllocated : picture.bitsStored;
    layout.highBit = picture.highBitGiven ? picture.highBit : layout.bitsStored - 1;
    if (layout.bitsStored > layout.bitsAllocated || layout.highBit + 1 < layout.bitsStored
        || layout.highBit >= layout.bitsAllocated || picture.pixelRepresentation > 1)
        return false;
    layout.signedSamples = picture.pixelRepresentation == 1;
    layout.inverted = picture.photometric == "MONOCHROME1";
    if (!parseFrameCount(picture.numberOfFrames, layout.frameCount))
        return false;

    const std::uint64_t pixelCount = static_cast<std::uint64_t>(picture.rows) * picture.columns;
    if (pixelCount >= maxPixelCount)
        return false;
    if (layout.encapsulated) {
        // Every frame starts a fragment of its own.
        if (picture.fragmentCount < layout.frameCount)
            return false;
    } else {
        const std::uint64_t frameBytes = pixelCount * (picture.bitsAllocated / 8);
        if (picture.pixelDataLength / frameBytes < layout.frameCount)
            return false;
    }
    layout.rows = picture.rows;
    layout.columns = picture.columns;
    return true;
}

} // namespace quorrel::imagedecode
