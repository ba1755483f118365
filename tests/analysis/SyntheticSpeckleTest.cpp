#include <cmath>
#include <cstddef>
#include <cstdint>

#include <gtest/gtest.h>

#include "samples/generator/SyntheticScan.h"

namespace quorrel {
namespace {

// A scan that is retina from the top row to the bottom row, without grey
// noise, so that each level is round(200 * (1 + contrast * s)).
SyntheticScanParameters allRetina(double contrast)
{
    SyntheticScanParameters parameters;
    parameters.width = 400;
    parameters.height = 300;
    parameters.surfaceRow = 1000.0;
    parameters.referenceRow = -1000.0;
    parameters.pitDepth = 0.0;
    parameters.rimHeight = 0.0;
    parameters.noiseAmplitude = 0.0;
    parameters.retinaColor = RgbaColor{200, 200, 200, 255};
    parameters.speckleContrast = contrast;
    return parameters;
}

double grainAt(const SyntheticScan& scan, int x, int y, double contrast)
{
    return (scan.view().pixel(x, y)[0] / 200.0 - 1.0) / contrast;
}

// Correlation of the grain with its neighbour (dx, dy) over the picture.
double correlation(const SyntheticScan& scan, double contrast, int dx, int dy)
{
    double sumProducts = 0.0;
    double sumSquares = 0.0;
    for (int y = 0; y + dy < scan.height; ++y) {
        for (int x = 0; x + dx < scan.width; ++x) {
            const double here = grainAt(scan, x, y, contrast);
            sumProducts += here * grainAt(scan, x + dx, y + dy, contrast);
            sumSquares += here * here;
        }
    }
    return sumProducts / sumSquares;
}

TEST(SyntheticSpeckle, Grains_HaveUnitDeviationAndSpanFourColumnsAndTwoRows)
{
    const double contrast = 0.1;
    const SyntheticScan scan = makeSyntheticScan(allRetina(contrast));
    double sum = 0.0;
    double sumSquares = 0.0;
    for (int y = 0; y < scan.height; ++y) {
        for (int x = 0; x < scan.width; ++x) {
            const double grain = grainAt(scan, x, y, contrast);
            sum += grain;
            sumSquares += grain * grain;
        }
    }
    const double count = static_cast<double>(scan.width) * scan.height;
    const double mean = sum / count;
    // Rounding to whole levels adds a deviation of 1/sqrt(12) level, 0.014
    // in grain units: negligible next to the 5 % allowed here.
    EXPECT_NEAR(mean, 0.0, 0.02);
    EXPECT_NEAR(std::sqrt(sumSquares / count - mean * mean), 1.0, 0.05);

    // Each grain sums a 4 x 2 block of white values: the next column shares
    // 6 of its 8 values, the next row 4, the column four away none.
    EXPECT_NEAR(correlation(scan, contrast, 1, 0), 0.75, 0.03);
    EXPECT_NEAR(correlation(scan, contrast, 0, 1), 0.5, 0.03);
    EXPECT_NEAR(correlation(scan, contrast, 4, 0), 0.0, 0.03);
    EXPECT_NEAR(correlation(scan, contrast, 0, 2), 0.0, 0.03);
}

TEST(SyntheticSpeckle, BlackVitreous_KeepsTheGreyNoiseOfTheScanWithoutSpeckle)
{
    // Speckle scales levels, so a black zone shows only the grey noise, which
    // must come out of the same random stream as without speckle.
    SyntheticScanParameters plain;
    plain.vitreousColor = RgbaColor{0, 0, 0, 255};
    plain.noiseAmplitude = 20.0;
    SyntheticScanParameters speckled = plain;
    speckled.speckleContrast = 0.3;
    const SyntheticScan withoutSpeckle = makeSyntheticScan(plain);
    const SyntheticScan withSpeckle = makeSyntheticScan(speckled);

    bool varies = false;
    for (int y = 300; y < withSpeckle.height; ++y) {
        for (int x = 0; x < withSpeckle.width; ++x) {
            const std::uint8_t* expected = withoutSpeckle.view().pixel(x, y);
            const std::uint8_t* actual = withSpeckle.view().pixel(x, y);
            ASSERT_EQ(actual[0], expected[0]) << x << ", " << y;
            varies = varies || actual[0] != 0;
        }
    }
    EXPECT_TRUE(varies);
    // The retina, by contrast, is speckled.
    EXPECT_NE(withSpeckle.rgba, withoutSpeckle.rgba);
}

TEST(SyntheticSpeckle, Seed_DeterminesTheGrains)
{
    SyntheticScanParameters parameters = allRetina(0.2);
    const SyntheticScan first = makeSyntheticScan(parameters);
    EXPECT_EQ(makeSyntheticScan(parameters).rgba, first.rgba);
    parameters.seed = 2;
    EXPECT_NE(makeSyntheticScan(parameters).rgba, first.rgba);
}

TEST(SyntheticSpeckle, StrongContrast_ClampsLevelsToTheByteRange)
{
    const SyntheticScan scan = makeSyntheticScan(allRetina(2.0));
    bool black = false;
    bool white = false;
    for (std::size_t i = 0; i < scan.rgba.size(); i += 4) {
        black = black || scan.rgba[i] == 0;
        white = white || scan.rgba[i] == 255;
        ASSERT_EQ(scan.rgba[i + 3], 255);
    }
    EXPECT_TRUE(black && white);
}

} // namespace
} // namespace quorrel
