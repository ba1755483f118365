// Feeds each input through the decoding half of image loading. The input is
// written to a file with the suffix this target was built for, because the
// loader, like the image list, starts from a path; then the whole picture is
// loaded, and a loaded buffer is read to its last byte so that one shorter
// than its stated size shows up. A PNG input gets a second run with its chunk
// checksums made right: nearly every mutation breaks one, and libpng stops
// at the first, so without it the fuzzer would never reach chunk contents.
// A file of several frames or pages has its last one loaded too. The
// header read ahead of the decode reads every input as well.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>
#include <zlib.h>

#include <QCoreApplication>

#include "imageio/ImageFile.h"

namespace {

std::string inputDirectory;
std::string inputPath;

void removeInputFile()
{
    std::remove(inputPath.c_str());
    rmdir(inputDirectory.c_str());
}

void loadInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(inputPath.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    const std::wstring path(inputPath.begin(), inputPath.end());
    quorrel::StatedPicture stated;
    (void)quorrel::statePicture(path, stated);
    const quorrel::LoadedRegion region = quorrel::loadImageRegion(path, 0, 0, 1, 1);
    if (region.status == quorrel::LoadStatus::Ok) {
        // The last frame of a DICOM object or TIFF goes its own way through
        // the offset table or the directory chain.
        if (region.frameCount > 1) {
            (void)quorrel::inspectImageFile(path);
            (void)quorrel::loadImageRegion(path, 0, 0, 1, 1, region.frameCount - 1);
        }
        if (!region.pixels || region.width == 0 || region.height == 0)
            std::abort();
        const std::size_t byteCount = static_cast<std::size_t>(region.width) * region.height * 4;
        unsigned sum = 0;
        for (std::size_t i = 0; i < byteCount; ++i)
            sum += region.pixels[i];
        volatile unsigned sink = sum;
        (void)sink;
    }
}

std::uint32_t readBigEndian(const std::uint8_t* bytes)
{
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8)
        | bytes[3];
}

// The input with every complete chunk's checksum recomputed; empty when
// nothing changed.
std::vector<std::uint8_t> withRepairedPngChecksums(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> repaired(data, data + size);
    bool changed = false;
    std::size_t offset = 8;
    while (size >= 12 && offset <= size - 12) {
        const std::uint32_t length = readBigEndian(data + offset);
        if (length > size - offset - 12)
            break;
        const std::uint32_t checksum = static_cast<std::uint32_t>(crc32(0, data + offset + 4, length + 4));
        std::uint8_t* stored = repaired.data() + offset + 8 + length;
        if (readBigEndian(stored) != checksum) {
            changed = true;
            for (int i = 0; i < 4; ++i)
                stored[i] = static_cast<std::uint8_t>(checksum >> (24 - 8 * i));
        }
        offset += 12 + static_cast<std::size_t>(length);
    }
    return changed ? repaired : std::vector<std::uint8_t>();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Qt finds its optional image plugins only through an application object.
    static int applicationArgc = 1;
    static QCoreApplication application(applicationArgc, *argv);
    (void)argc;

    const char* temporary = std::getenv("TMPDIR");
    std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/quorrel-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    inputDirectory = pattern;
    inputPath = inputDirectory + "/input" QUORREL_FUZZ_SUFFIX;
    std::atexit(removeInputFile);
    quorrel::initImageLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    loadInput(data, size);
    if (std::string(QUORREL_FUZZ_SUFFIX) == ".png") {
        const std::vector<std::uint8_t> repaired = withRepairedPngChecksums(data, size);
        if (!repaired.empty())
            loadInput(repaired.data(), repaired.size());
    }
    return 0;
}
