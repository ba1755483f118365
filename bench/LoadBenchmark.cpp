#include "bench/LoadBenchmark.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio> // before jpeglib.h, which uses FILE
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <jpeglib.h>
#include <png.h>

#include "bench/BenchClock.h"
#include "imageio/ImageFile.h"
#include "samples/generator/SyntheticScan.h"

namespace quorrel::bench {
namespace {

using Clock = std::chrono::steady_clock;

// An RGBA picture with the bottom row first, as the view's buffer holds it.
struct Picture {
    std::unique_ptr<std::uint8_t[]> pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.tellg()));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
};

void readPngBytes(png_structp png, png_bytep target, png_size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->offset)
        png_error(png, "file ends early");
    std::memcpy(target, source->data + source->offset, length);
    source->offset += length;
}

// No object with a destructor lives in this function, so the jump skips nothing.
bool decodePngRows(png_structp png, png_infop info, Picture& picture, std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    picture.width = png_get_image_width(png, info);
    picture.height = png_get_image_height(png, info);
    const std::size_t rowBytes = std::size_t{picture.width} * 4;
    picture.pixels.reset(new std::uint8_t[rowBytes * picture.height]);
    rows.resize(picture.height);
    for (std::uint32_t y = 0; y < picture.height; ++y)
        rows[y] = picture.pixels.get() + (picture.height - 1 - y) * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

// libpng straight into the bottom-first RGBA buffer: the least any load can do.
Picture plainPngDecode(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    Picture picture;
    std::vector<png_bytep> rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    PngSource source{bytes.data(), bytes.size(), 0};
    png_set_read_fn(png, &source, readPngBytes);
    if (!decodePngRows(png, info, picture, rows))
        picture = Picture{};
    png_destroy_read_struct(&png, &info, nullptr);
    return picture;
}

Picture plainJpegDecode(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    Picture picture;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    picture.width = info.output_width;
    picture.height = info.output_height;
    const std::size_t rowBytes = std::size_t{picture.width} * 4;
    picture.pixels.reset(new std::uint8_t[rowBytes * picture.height]);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.pixels.get() + (picture.height - 1 - info.output_scanline) * rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return picture;
}

long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0)
            return std::stol(line.substr(length));
    }
    return -1;
}

// The most resident memory the work added, from the kernel's high-water mark
// (reset before the work), in bytes; -1 where the kernel cannot tell.
long peakResidentGrowth(const std::function<void()>& work)
{
    const long before = statusKilobytes("VmRSS:");
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";
    }
    work();
    const long peak = statusKilobytes("VmHWM:");
    return before < 0 || peak < 0 ? -1 : (peak - before) * 1024;
}

double secondsOf(const std::function<void()>& work)
{
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

const char* verdict(double value, double target)
{
    return value <= target ? "met" : "MISSED";
}

struct LoadCase {
    const char* name;
    QString fileName;
    bool png;
    bool grey;
};

void benchmarkOne(const LoadCase& load, const std::string& path, int runs)
{
    const std::wstring widePath = QString::fromStdString(path).toStdWString();
    const auto plain = [&] { return load.png ? plainPngDecode(path) : plainJpegDecode(path); };
    // Alternating, so that both forms see the same disturbances of a busy machine.
    std::vector<double> plainSeconds;
    std::vector<double> loadSeconds;
    std::vector<double> librarySeconds;
    for (int run = 0; run < runs; ++run) {
        plainSeconds.push_back(secondsOf([&] { plain(); }));
        loadSeconds.push_back(secondsOf([&] { loadImageRegion(widePath, 0, 0, 1, 1); }));
        if (run < 3)
            librarySeconds.push_back(secondsOf([&] { loadImageRegionThroughLibrary(widePath, 0, 0, 1, 1); }));
    }
    const Picture reference = plain();
    const LoadedRegion loaded = loadImageRegion(widePath, 0, 0, 1, 1);
    const std::size_t bytes = std::size_t{reference.width} * reference.height * 4;
    const bool identical = loaded.status == LoadStatus::Ok && loaded.width == reference.width
        && loaded.height == reference.height && std::memcmp(loaded.pixels.get(), reference.pixels.get(), bytes) == 0;
    const long peak = peakResidentGrowth([&] { loadImageRegion(widePath, 0, 0, 1, 1); });
    const long libraryPeak = peakResidentGrowth([&] { loadImageRegionThroughLibrary(widePath, 0, 0, 1, 1); });

    const double ratio = median(loadSeconds) / median(plainSeconds);
    const double memoryRatio = static_cast<double>(peak) / static_cast<double>(bytes);
    std::printf("%-24s %8.4f %8.4f %7.2fx (target <= 1.3x, %s) %9s %6.2fx (target <= 1.5x, %s) | through the "
                "library %.4f s, %.2fx memory\n",
                load.name, median(plainSeconds), median(loadSeconds), ratio, verdict(ratio, 1.3),
                identical ? "yes" : "NO", memoryRatio, verdict(memoryRatio, 1.5), median(librarySeconds),
                static_cast<double>(libraryPeak) / static_cast<double>(bytes));
    std::fflush(stdout);
}

} // namespace

void benchmarkLoading(int runs)
{
    // Every large block comes fresh from the system and goes back when freed,
    // so each load pays for its pages alike and the high-water mark sees them.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 20);

    SyntheticScanParameters parameters;
    parameters.width = 4096;
    parameters.height = 2048;
    parameters.surfaceRow = 1400.0;
    parameters.referenceRow = 600.0;
    parameters.pitCentreX = 2048.0;
    parameters.pitDepth = 300.0;
    parameters.pitSigma = 240.0;
    parameters.rimHeight = 40.0;
    parameters.rimSigma = 560.0;
    parameters.speckleContrast = 0.5;
    const SyntheticScan scan = makeSyntheticScan(parameters);
    QImage grey(scan.width, scan.height, QImage::Format_Grayscale8);
    // Scanners export their grey scans as 24-bit RGB files too.
    QImage colour(scan.width, scan.height, QImage::Format_RGB888);
    for (int y = 0; y < scan.height; ++y) {
        const std::uint8_t* source = scan.rgba.data() + std::size_t(scan.height - 1 - y) * scan.width * 4;
        std::uint8_t* greyRow = grey.scanLine(y);
        std::uint8_t* colourRow = colour.scanLine(y);
        for (int x = 0; x < scan.width; ++x) {
            const std::uint8_t level = source[x * 4];
            greyRow[x] = level;
            colourRow[x * 3] = level;
            colourRow[x * 3 + 1] = level;
            colourRow[x * 3 + 2] = level;
        }
    }

    QTemporaryDir dir;
    const LoadCase cases[] = {
        {"grey PNG", QStringLiteral("grey.png"), true, true},
        {"RGB PNG", QStringLiteral("rgb.png"), true, false},
        {"grey JPEG", QStringLiteral("grey.jpg"), false, true},
        {"RGB JPEG", QStringLiteral("rgb.jpg"), false, false},
    };
    std::printf("\nLoading a %d x %d scan (%.1f MP) as the command and the window do (loadImageRegion), against a "
                "plain\nlibpng/libjpeg decode of the same file into a fresh bottom-first RGBA buffer. Medians of %d "
                "alternating runs;\nmemory is the peak resident growth during one load over the RGBA image's size.\n",
                scan.width, scan.height, scan.width * scan.height / 1e6, runs);
    std::printf("%-24s %8s %8s %8s %27s %9s %7s\n", "file", "plain s", "load s", "ratio", "", "identical", "memory");
    for (const LoadCase& load : cases) {
        const QString path = dir.filePath(load.fileName);
        (load.grey ? grey : colour).save(path);
        benchmarkOne(load, path.toStdString(), runs);
    }
}

} // namespace quorrel::bench
