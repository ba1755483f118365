#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "analysis/ColorDistance.h"
#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"
#include "analysis/RegionGrowing.h"
#include "samples/generator/SyntheticScan.h"

namespace quorrel {
namespace {

TEST(ContourEndToEnd, VitreousPatchOfSyntheticScan_TracesTheRetinalSurface)
{
    const SyntheticScan scan = makeSyntheticScan(SyntheticScanParameters{});
    const RgbaImageView image = scan.view();
    const int lastColumn = scan.width - 3;

    // A patch of vitreous well above the highest surface row (about 283).
    const PixelRect rect = pixelRectBetween(350, 370, 450, 330, scan.width, scan.height);
    // The vitreous noise is uniform within 6 grey levels, equal in R, G and
    // B: a combined spread of about 6, 4.5 * 6 = 27, so the estimate is the
    // floor, 30. Vitreous pixels lie within sqrt(3) * 6 = 10.4 of the mean and
    // the retina about sqrt(3) * 170 = 294 away, so the fill stops exactly at
    // the retina's top pixels.
    const int tolerance = estimateMaxColorDistance(image, rect);
    ASSERT_EQ(tolerance, 30);

    Boundary boundary = makeCandidateBoundary(image, L"synthetic", rect, tolerance);
    boundary.edgePoints = collectEdgePoints(image, boundary.seedPoint, boundary.referenceColor, tolerance);
    // Edge pixels are retina pixels next to the vitreous: at or below the
    // surface by less than one row plus the local slope (under 0.6).
    std::set<double> columns;
    for (const Point2d& point : boundary.edgePoints) {
        const double depth = scan.surfaceRowAt(point.x) - point.y;
        ASSERT_TRUE(depth >= 0.0 && depth < 1.6) << point.x << ", " << point.y;
        columns.insert(point.x);
    }
    EXPECT_EQ(columns.size(), static_cast<std::size_t>(lastColumn));

    sortEdgePoints(boundary.edgePoints);
    buildBoundaryCurve(boundary, 2.0, 3.0, 20);
    ASSERT_FALSE(boundary.curve.empty());
    EXPECT_EQ(std::fmin(boundary.curve.front().x, boundary.curve.back().x), 1.0);
    EXPECT_EQ(std::fmax(boundary.curve.front().x, boundary.curve.back().x), lastColumn);

    // Two presses halve the count twice. Each scales coordinates by 1.001
    // (about +0.28 rows at row 280) on top of the edge pixels lying up to a
    // row below the surface: within 1.5 rows of it.
    const std::size_t unsmoothedCount = boundary.curve.size();
    smoothCurve(boundary.curve, 2);
    smoothCurve(boundary.curve, 2);
    EXPECT_EQ(boundary.curve.size(), ((unsmoothedCount + 2) / 2 + 2) / 2);
    std::size_t deepest = 0;
    for (std::size_t i = 0; i < boundary.curve.size(); ++i) {
        const Point2d& point = boundary.curve[i];
        ASSERT_LE(std::fabs(point.y - scan.surfaceRowAt(point.x)), 1.5) << point.x << ", " << point.y;
        if (point.y < boundary.curve[deepest].y)
            deepest = i;
    }
    EXPECT_NEAR(boundary.curve[deepest].x, scan.pitCentreX, 4.0);
    EXPECT_NEAR(boundary.curve[deepest].y, scan.surfaceRowAt(scan.pitCentreX), 1.5);
}

} // namespace
} // namespace quorrel
