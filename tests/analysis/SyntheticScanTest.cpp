#include <cstdint>

#include <gtest/gtest.h>

#include "samples/generator/SyntheticScan.h"

namespace quorrel {
namespace {

RgbaColor pixelAt(const SyntheticScan& scan, int x, int y)
{
    const std::uint8_t* pixel = scan.view().pixel(x, y);
    return RgbaColor{pixel[0], pixel[1], pixel[2], pixel[3]};
}

TEST(SyntheticScan, WithoutNoise_ZonesMeetAtTheAnalyticBorders)
{
    SyntheticScanParameters parameters;
    parameters.noiseAmplitude = 0.0;
    const SyntheticScan scan = makeSyntheticScan(parameters);
    ASSERT_EQ(scan.rgba.size(), 800u * 400u * 4u);
    // At the pit centre the surface is 280 - 60 + 8 = 228.
    EXPECT_EQ(pixelAt(scan, 400, 229), parameters.vitreousColor);
    EXPECT_EQ(pixelAt(scan, 400, 228), parameters.retinaColor);
    EXPECT_EQ(pixelAt(scan, 400, 120), parameters.retinaColor);
    EXPECT_EQ(pixelAt(scan, 400, 119), parameters.belowColor);
    // Far out in column 0 the rim term still lifts the surface to 280.135.
    EXPECT_EQ(pixelAt(scan, 0, 281), parameters.vitreousColor);
    EXPECT_EQ(pixelAt(scan, 0, 280), parameters.retinaColor);
}

TEST(SyntheticScan, Geometry_MatchesTheDifferenceOfGaussians)
{
    // Rims where 60/60^2 exp(-u^2/7200) = 8/140^2 exp(-u^2/39200):
    // u = 180.8805652866 columns from the centre.
    const SyntheticScan scan = makeSyntheticScan(SyntheticScanParameters{});
    EXPECT_DOUBLE_EQ(scan.pitCentreX, 400.0);
    EXPECT_NEAR(scan.leftRimX, 219.1194347134, 1e-6);
    EXPECT_NEAR(scan.rightRimX, 580.8805652866, 1e-6);
    EXPECT_DOUBLE_EQ(scan.thicknessAtCentre, 108.0);
    EXPECT_NEAR(scan.thicknessAtLeftRim, 162.8344941215, 1e-9);
    EXPECT_NEAR(scan.thicknessAtRightRim, 162.8344941215, 1e-9);
}

TEST(SyntheticScan, Tilt_RaisesBothBordersAndKeepsTheThickness)
{
    SyntheticScanParameters parameters;
    parameters.tiltRowsPerColumn = 0.1;
    const SyntheticScan tilted = makeSyntheticScan(parameters);
    const SyntheticScan flat = makeSyntheticScan(SyntheticScanParameters{});
    EXPECT_DOUBLE_EQ(tilted.referenceRowAt(500), 130.0);
    EXPECT_DOUBLE_EQ(tilted.surfaceRowAt(300), flat.surfaceRowAt(300) - 10.0);
    EXPECT_NEAR(tilted.leftRimX, flat.leftRimX, 1e-6);
    EXPECT_NEAR(tilted.thicknessAtRightRim, flat.thicknessAtRightRim, 1e-9);
}

TEST(SyntheticScan, Noise_IsBoundedAndDeterminedBySeed)
{
    const SyntheticScan first = makeSyntheticScan(SyntheticScanParameters{});
    EXPECT_EQ(makeSyntheticScan(SyntheticScanParameters{}).rgba, first.rgba);
    SyntheticScanParameters other;
    other.seed = 2;
    EXPECT_NE(makeSyntheticScan(other).rgba, first.rgba);

    bool varies = false;
    for (int y = 300; y < 400; ++y) {
        for (int x = 0; x < 800; ++x) {
            const RgbaColor colour = pixelAt(first, x, y);
            ASSERT_TRUE(colour.r >= 14 && colour.r <= 26 && colour.g == colour.r && colour.b == colour.r
                        && colour.a == 255);
            varies = varies || colour.r != 20;
        }
    }
    EXPECT_TRUE(varies);
}

} // namespace
} // namespace quorrel
