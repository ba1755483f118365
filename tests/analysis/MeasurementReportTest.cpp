#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementReport.h"

namespace quorrel {
namespace {

using test::lines;

// A, C and E as samples 0, 1, 2; the five resampled points are A, B, C, D, E.
Boundary reportBoundary(Point2d aTop, Point2d bTop, Point2d cTop, Point2d dTop, Point2d eTop, Point2d cBottom)
{
    Boundary boundary;
    boundary.curveSamples = {aTop, cTop, eTop};
    boundary.referenceSamples = {{aTop.x, 0}, cBottom, {eTop.x, 0}};
    boundary.indexA = 0;
    boundary.indexC = 1;
    boundary.indexE = 2;
    boundary.resampledCurve = {aTop, bTop, cTop, dTop, eTop};
    boundary.resampledReference = {{aTop.x, 0}, {bTop.x, 0}, cBottom, {dTop.x, 0}, {eTop.x, 0}};
    boundary.indexB = 1;
    boundary.resampledIndexC = 2;
    boundary.indexD = 3;
    return boundary;
}

// A rim-to-rim line at y = 10 over a pit 4 px deep, C line vertical.
Boundary smallPit()
{
    return reportBoundary({0, 10}, {2, 8}, {5, 6}, {8, 9}, {10, 10}, {5, 0});
}

std::vector<std::string> reportOf(const Boundary& boundary, Point2d unitStart, Point2d unitEnd, double unitMicron)
{
    return lines(formatMeasurementReport(computeFovealMeasurements(boundary, unitStart, unitEnd, unitMicron)));
}

TEST(MeasurementReport, SmallPit_MatchesTheHandWrittenReportLineByLine)
{
    // Unit line 5 px long standing for 12.5 microns: microns = 2.5 * pixels.
    const std::string report = formatMeasurementReport(computeFovealMeasurements(smallPit(), {0, 0}, {3, 4}, 12.5));
    const std::vector<std::string> expected = {
        "A Top    Point: (0, 10)",
        "A Bottom Point: (0, 0)",
        "B Top    Point: (2, 8)",
        "B Bottom Point: (2, 0)",
        "C Top    Point: (5, 6)",
        "C Bottom Point: (5, 0)",
        "D Top    Point: (8, 9)",
        "D Bottom Point: (8, 0)",
        "E Top    Point: (10, 10)",
        "E Bottom Point: (10, 0)",
        "",
        "A Bottom to A Top Pixel Distance: 10",
        "B Bottom to B Top Pixel Distance: 8",
        "C Bottom to C Top Pixel Distance: 6",
        "D Bottom to D Top Pixel Distance: 9",
        "E Bottom to E Top Pixel Distance: 10",
        "",
        "Unit Micron Pixel  Length: 5",
        "Unit Micron Actual Length: 12.5",
        "",
        "A Bottom to A Top Micron Distance: 25",
        "B Bottom to B Top Micron Distance: 20",
        "C Bottom to C Top Micron Distance: 15",
        "D Bottom to D Top Micron Distance: 22.5",
        "E Bottom to E Top Micron Distance: 25",
        "",
        "Foveal Pixel  Width: 10",
        "Foveal Micron Width: 25",
        "Foveal Pixel  Depth (C Bottom - C Top Line) to (A - E Top Line): 4",
        "Foveal Micron Depth (C Bottom - C Top Line) to (A - E Top Line): 10",
        "",
        "Foveal Pixel  Depth (A - E Top Perpendicular Line): 4",
        "Foveal Micron Depth (A - E Top Perpendicular Line): 10",
        "",
        "(C bottom to C top) line is assumed Y axis for slope calculation",
        "Slope (A -> B): -1",
        "Slope (B -> C): -0.666667",
        "Slope (C -> D): 1",
        "Slope (D -> E): 0.5",
        "",
        "Slope Radian Angle (A -> B): -0.785398",
        "Slope Radian Angle (B -> C): -0.588003",
        "Slope Radian Angle (C -> D): 0.785398",
        "Slope Radian Angle (D -> E): 0.463648",
        "",
        "Slope Degree Angle (A -> B): -45",
        "Slope Degree Angle (B -> C): -33.6901",
        "Slope Degree Angle (C -> D): 45",
        "Slope Degree Angle (D -> E): 26.5651",
        "",
    };
    EXPECT_EQ(lines(report), expected);
    EXPECT_EQ(report.back(), '\n');
    EXPECT_EQ(report.find('\r'), std::string::npos);
}

TEST(MeasurementReport, TruncatedConstants_ShowInTheUnroundedFigures)
{
    const FovealMeasurements m = computeFovealMeasurements(smallPit(), {0, 0}, {10, 0}, 100.0);
    // 1.570796 is not quite a right angle: the perpendicular depth is a hair
    // longer than the one along the vertical C line.
    EXPECT_EQ(m.depthAlongCLinePixel, 4.0);
    EXPECT_GT(m.perpendicularDepthPixel, 4.0);
    EXPECT_NEAR(m.perpendicularDepthPixel, 4.0, 1e-9);
    // 45 degrees measured with 3.141592 for pi.
    EXPECT_NEAR(m.slopeDegrees[2], 45.0000093620, 1e-9);
    // Lines whose directions have a cross product of only 4e-8 are parallel.
    EXPECT_FALSE(intersectLines({0, 0}, {2, 0}, {0, 1}, {1, 1.00000002}, nullptr));
}

TEST(MeasurementReport, TiltedOrTurnedCLine_MeasuresSlopesAcrossIt_RimTopsInLineGiveZeroDepths)
{
    // C line at 45 degrees: a wall along x reads as slope 1 in its frame, a
    // wall along y as slope -1.
    const FovealMeasurements m =
        computeFovealMeasurements(reportBoundary({0, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 2}, {0, 0}), {0, 0}, {10, 0}, 1.0);
    EXPECT_NEAR(m.slopes[0], 1.0, 1e-12);
    EXPECT_NEAR(m.slopes[1], -1.0, 1e-12);

    // C Top straight below C Bottom: the frame turns by pi and slopes are dy / dx.
    const FovealMeasurements flipped = computeFovealMeasurements(
        reportBoundary({0, 0}, {2, -2}, {5, -4}, {8, -1}, {10, 0}, {5, 10}), {0, 0}, {10, 0}, 1.0);
    EXPECT_NEAR(flipped.slopes[0], -1.0, 1e-12);
    EXPECT_NEAR(flipped.slopes[3], 0.5, 1e-12);

    const FovealMeasurements flat = computeFovealMeasurements(
        reportBoundary({0, 0}, {2, 1}, {4, 2}, {7, 3.5}, {10, 5}, {6, -2}), {0, 0}, {10, 0}, 1.0);
    EXPECT_NEAR(flat.depthAlongCLinePixel, 0.0, 1e-12);
    EXPECT_NEAR(flat.perpendicularDepthPixel, 0.0, 1e-12);
}

TEST(MeasurementReport, UndefinedFigures_PrintInTheirOwnWordingOrAsNanOrInfNeverAsNumbers)
{
    // C Bottom beside C Top: the C line runs level with the rim line.
    std::vector<std::string> report =
        reportOf(reportBoundary({0, 10}, {2, 8}, {5, 6}, {8, 9}, {10, 10}, {3, 6}), {0, 0}, {10, 0}, 100.0);
    ASSERT_EQ(report.size(), 50u);
    EXPECT_EQ(report[28], "Foveal Pixel  Depth (C Bottom - C Top) line to (A - E Top Line): Not Determined");
    EXPECT_EQ(report[29], "Foveal Micron Depth (C Bottom - C Top) line to (A - E Top Line): Not Determined");
    EXPECT_EQ(report[31], "Foveal Pixel  Depth (A - E Top Perpendicular Line): 4");
    // A Top on E Top: no rim line at all.
    report = reportOf(reportBoundary({5, 10}, {2, 8}, {5, 6}, {8, 9}, {5, 10}, {5, 0}), {0, 0}, {10, 0}, 100.0);
    EXPECT_EQ(report[26], "Foveal Pixel  Width: 0");
    EXPECT_EQ(report[28], "Foveal Pixel  Depth (C Bottom - C Top) line to (A - E Top Line): Not Determined");
    EXPECT_EQ(report[32], "Foveal Micron Depth (A - E Top Perpendicular Line): Not Determined");
    // No unit line: microns divide by zero.
    report = reportOf(smallPit(), {2, 2}, {2, 2}, 100.0);
    EXPECT_EQ(report[20], "A Bottom to A Top Micron Distance: inf");
    EXPECT_EQ(report[27], "Foveal Micron Width: inf");
    EXPECT_TRUE(unitLineTooShort({2, 2}, {2, 2}));
    EXPECT_FALSE(unitLineTooShort({0, 0}, {0.00002, 0}));
    // Every point on one spot: no width, no depth lines, no slope frame.
    const Point2d spot{4, 4};
    report = reportOf(reportBoundary(spot, spot, spot, spot, spot, spot), {0, 0}, {0, 0}, 100.0);
    ASSERT_EQ(report.size(), 50u);
    EXPECT_EQ(report[22], "C Bottom to C Top Micron Distance: nan");
    EXPECT_EQ(report[27], "Foveal Micron Width: nan");
    EXPECT_EQ(report[31], "Foveal Pixel  Depth (A - E Top Perpendicular Line): Not Determined");
    EXPECT_EQ(report[35], "Slope (A -> B): nan");
    EXPECT_EQ(report[48], "Slope Degree Angle (D -> E): nan");

    // A wall outside the resampled lists gives no figure rather than a stray one.
    Boundary strayWall = smallPit();
    strayWall.indexD = 5;
    EXPECT_FALSE(hasReportableExtrema(strayWall));
    const FovealMeasurements none = computeFovealMeasurements(strayWall, {0, 0}, {10, 0}, 100.0);
    EXPECT_TRUE(std::isnan(none.pixelDistances[0]));
    EXPECT_FALSE(none.depthAlongCLineDetermined);
}

} // namespace
} // namespace quorrel
