#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ImageFileTestSupport.h"
#include "imageio/ImageFile.h"

namespace quorrel::test {
namespace {

QByteArray bytesFrom(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}

TEST(ImageFileRefusal, LoadRegion_DamagedForeignOrOversizedFiles_DecodeFailed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray png = encodeWithQt(gradientPicture(), "png");
    const QByteArray jpeg = encodeWithQt(gradientPicture(), "jpg");
    const QByteArray bmp = encodeWithQt(gradientPicture(), "bmp");
    const QByteArray tgaRuns = tga(gradientPicture(), 10, false);
    const QByteArray jp2 = readFile(QStringLiteral(QUORREL_TEST_DATA_DIR "/imageio/gradient.jp2"));
    const std::pair<QString, QByteArray> cases[] = {
        {"zero-bytes.png", QByteArray()},
        {"notes.jpg", QByteArray("Patient 12, left eye: repeat the scan.\n")},
        {"gif-named-as.png", QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14)},
        {"cut-in-image-data.png", png.left(png.size() / 2)},
        {"without-end-chunk.png", png.left(png.size() - 12)},
        {"without-last-checksum.png", png.left(png.size() - 3)},
        {"header-only.png", png.left(33)},
        {"cut.jpg", jpeg.left(jpeg.size() * 2 / 3)},
        {"cut.bmp", bmp.left(bmp.size() - 40)},
        {"cut.jp2", jp2.left(jp2.size() * 2 / 3)},
        {"cut.tga", tgaRuns.left(tgaRuns.size() - 2)},
        // 2 × 2 pixels, but one run packet of five.
        {"run-past-end.tga", bytesFrom({0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0, 0x84, 1, 2, 3})},
        // A jump three rows up in a picture two rows high.
        {"jump-outside.bmp",
         bmpHeaders(2, 2, 8, 1, 40, 1024, 6) + QByteArray(1024, '\0') + bytesFrom({0, 2, 0, 3, 0, 1})},
        {"claims-100000-square.bmp", bmpHeaders(100000, 100000, 24, 0, 40, 0, 0)},
        {"claims-100000-by-10000.bmp", bmpHeaders(100000, 10000, 24, 0, 40, 0, 4096) + QByteArray(4096, '\x7f')},
        // 2^30 pixels coded in two bytes: a legitimate blank picture, too large.
        {"blank-2-to-30-pixels.bmp",
         bmpHeaders(32768, 32768, 8, 1, 40, 1024, 2) + QByteArray(1024, '\0') + bytesFrom({0, 1})},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name.toStdString());
        const LoadedRegion region = loadImageRegion(writeFile(dir, name, bytes), 0, 0, 1, 1);
        EXPECT_EQ(region.status, LoadStatus::DecodeFailed);
        EXPECT_EQ(region.pixels, nullptr);
    }
}

TEST(ImageFileRefusal, LoadRegion_MissingFileOrFolder_DecodeFailed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(loadImageRegion(dir.filePath("absent.png").toStdWString(), 0, 0, 1, 1).status, LoadStatus::DecodeFailed);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.png"));
    EXPECT_EQ(loadImageRegion(dir.filePath("folder.png").toStdWString(), 0, 0, 1, 1).status, LoadStatus::DecodeFailed);
}

// Every file that once crashed or hung the decoding, kept as found.
TEST(ImageFileRefusal, LoadRegion_FilesThatFoundFaults_RefusedCleanly)
{
    const QDir regressions(QStringLiteral(QUORREL_TEST_DATA_DIR "/fuzz-regressions"));
    const QStringList names = regressions.entryList(QDir::Files);
    for (const QString& name : names) {
        if (name.endsWith(QLatin1String(".md")))
            continue;
        SCOPED_TRACE(name.toStdString());
        const LoadedRegion region = loadImageRegion(regressions.filePath(name).toStdWString(), 0, 0, 1, 1);
        EXPECT_EQ(region.status, LoadStatus::DecodeFailed);
    }
}

} // namespace
} // namespace quorrel::test
