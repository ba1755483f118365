#include <cmath>
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

TEST(SyntheticScan, CurvatureChoroidAndShadow_DrawWhereTheParametersSay)
{
    SyntheticScanParameters parameters;
    parameters.noiseAmplitude = 0.0;
    parameters.curvature = 0.001;
    parameters.choroidThickness = 20.0;
    parameters.shadowLeft = 600.0;
    parameters.shadowWidth = 10.0;
    parameters.shadowAttenuation = 0.5;
    const SyntheticScan scan = makeSyntheticScan(parameters);
    const SyntheticScan flat = makeSyntheticScan(SyntheticScanParameters{});
    // 100 columns from the pit centre both borders are 0.001 * 100^2 = 10 rows higher.
    EXPECT_DOUBLE_EQ(scan.referenceRowAt(300), 130.0);
    EXPECT_DOUBLE_EQ(scan.surfaceRowAt(500), flat.surfaceRowAt(500) + 10.0);
    EXPECT_NEAR(scan.thicknessAtRightRim, flat.thicknessAtRightRim, 1e-9);
    // The choroid fills the 20 rows under the border (row 120 at the centre).
    EXPECT_EQ(pixelAt(scan, 400, 120), parameters.retinaColor);
    EXPECT_EQ(pixelAt(scan, 400, 119), parameters.choroidColor);
    EXPECT_EQ(pixelAt(scan, 400, 100), parameters.choroidColor);
    EXPECT_EQ(pixelAt(scan, 400, 99), parameters.belowColor);
    // Columns 600 to 609 are halved from 6 rows under the surface down.
    const int surfaceTop = static_cast<int>(scan.surfaceRowAt(605));
    EXPECT_EQ(pixelAt(scan, 605, surfaceTop - 5), parameters.retinaColor);
    EXPECT_EQ(pixelAt(scan, 605, surfaceTop - 7), (RgbaColor{95, 95, 95, 255}));
    EXPECT_EQ(pixelAt(scan, 605, 50), (RgbaColor{55, 55, 55, 255}));
    EXPECT_EQ(pixelAt(scan, 610, 50), parameters.belowColor);
}

TEST(SyntheticScan, MicronGeometry_ScalesTheShapeByEachAxisAndMeasuresAcrossTheBorder)
{
    // The default shape: rims 180.8805652866 columns either side of the pit
    // centre, 162.8344941215 rows thick there and 108 rows at the centre.
    const double rimOffset = 180.8805652866;
    const double rimThickness = 162.8344941215;
    struct Case {
        double tilt;
        double across; // share of a vertical micron at right angles to the border
        double width;
        double depth;
    };
    // Scales 2 across and 0.5 down. Tilted by 0.1 rows per column, the rims
    // differ by 36.18 rows (18.09 um) and the border rises 0.05 um per um.
    const double rise = 2.0 * rimOffset * 0.1 * 0.5;
    const double flatWidth = 4.0 * rimOffset;
    const double tiltedWidth = std::sqrt(flatWidth * flatWidth + rise * rise);
    const double flatDepth = (rimThickness - 108.0) * 0.5;
    for (const Case& c : {Case{0.0, 1.0, flatWidth, flatDepth},
                          Case{0.1, 2.0 / std::sqrt(4.0025), tiltedWidth, flatDepth * flatWidth / tiltedWidth}}) {
        SyntheticScanParameters parameters;
        parameters.tiltRowsPerColumn = c.tilt;
        parameters.lateralMicronsPerPixel = 2.0;
        parameters.axialMicronsPerPixel = 0.5;
        const SyntheticScan scan = makeSyntheticScan(parameters);
        const SyntheticMicronGeometry geometry = syntheticMicronGeometry(scan);
        EXPECT_NEAR(geometry.thicknessAtCentre, 54.0 * c.across, 1e-9) << c.tilt;
        EXPECT_NEAR(geometry.thicknessAtLeftRim, rimThickness * 0.5 * c.across, 1e-6) << c.tilt;
        EXPECT_NEAR(geometry.fovealWidth, c.width, 1e-6) << c.tilt;
        EXPECT_NEAR(geometry.fovealDepth, c.depth, 1e-6) << c.tilt;
        // The walls lie between rim and centre, mirrored, and fall into the pit
        // (the tilt shears the shape a little against the border).
        EXPECT_NEAR(geometry.leftWallX + geometry.rightWallX, 800.0, 1e-6) << c.tilt;
        EXPECT_GT(geometry.leftWallX, scan.leftRimX);
        EXPECT_LT(geometry.leftWallX, 400.0);
        EXPECT_LT(geometry.wallChordDegrees[0], 0.0);
        EXPECT_NEAR(geometry.wallChordDegrees[0], -geometry.wallChordDegrees[3], 0.05) << c.tilt;
    }
    // At the pit's bottom the nearest surface point lies straight above.
    SyntheticScanParameters parameters;
    parameters.lateralMicronsPerPixel = 2.0;
    parameters.axialMicronsPerPixel = 0.5;
    EXPECT_NEAR(nearestSurfaceMicrons(makeSyntheticScan(parameters), 400.0), 54.0, 1e-6);
}

} // namespace
} // namespace quorrel
