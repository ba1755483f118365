#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ImageFileTestSupport.h"
#include "imageio/ImageFile.h"

namespace quorrel::test {
namespace {

TEST(ImageFileSave, SaveRgbaImage_LosslessFormats_ReloadGivesTheSamePicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const LoadedRegion original =
        loadImageRegion(writeFile(dir, "gradient.png", encodeWithQt(gradientPicture(), "png")), 0, 0, 1, 1);
    ASSERT_EQ(original.status, LoadStatus::Ok);
    for (const char* name : {"saved.png", "saved.bmp", "saved.tga", "gespeichert-ä.png"}) {
        SCOPED_TRACE(name);
        const std::wstring path = dir.filePath(QString::fromUtf8(name)).toStdWString();
        ASSERT_TRUE(saveRgbaImage(path, original.pixels.get(), original.width, original.height));
        EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1), gradientPicture()));
    }
}

TEST(ImageFileSave, SaveRgbaImage_BottomRowFirstBuffer_FileShowsLastRowOnTop)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Row 0 (bottom): red, blue. Row 1 (top): green, white.
    const std::uint8_t pixels[] = {255, 0, 0, 255, 0, 0, 255, 255, 0, 255, 0, 255, 255, 255, 255, 255};
    const QString path = dir.filePath("two-by-two.png");
    ASSERT_TRUE(saveRgbaImage(path.toStdWString(), pixels, 2, 2));
    const QImage written(path);
    ASSERT_EQ(written.size(), QSize(2, 2));
    EXPECT_EQ(written.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(written.pixel(1, 1), qRgb(0, 0, 255));
}

TEST(ImageFileSave, SaveRgbaImage_ExistingFile_RefusedAndLeftAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::wstring path = writeFile(dir, "report-figure.png", QByteArray("kept"));
    const std::uint8_t pixel[] = {1, 2, 3, 255};
    EXPECT_FALSE(saveRgbaImage(path, pixel, 1, 1));
    EXPECT_EQ(readFile(QString::fromStdWString(path)), QByteArray("kept"));
}

TEST(ImageFileSave, SaveRgbaImage_NoBufferEmptyOrUnknownType_ReturnsFalse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::uint8_t pixel[] = {1, 2, 3, 255};
    EXPECT_FALSE(saveRgbaImage(dir.filePath("none.png").toStdWString(), nullptr, 1, 1));
    EXPECT_FALSE(saveRgbaImage(dir.filePath("empty.png").toStdWString(), pixel, 0, 1));
    EXPECT_FALSE(saveRgbaImage(dir.filePath("unknown.xyz").toStdWString(), pixel, 1, 1));
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.png")));
}

} // namespace
} // namespace quorrel::test
