// The region fill against its first form: the same edge pixels in the same
// order.

#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/RegionGrowing.h"
#include "oracle/PlainRegionGrowing.h"
#include "tests/analysis/DifferentialSupport.h"
#include "tests/analysis/TestImage.h"

namespace quorrel {
namespace {

using test::sameBits;

TEST(CollectEdgePointsDifferential, SpeckledScans_GiveTheFirstFormsEdgeInOrder)
{
    const int tolerances[] = {128, 60, 200, 1};
    for (std::uint64_t seed = 1; seed <= 8; ++seed) {
        const SyntheticScan scan = test::makeSpeckledScan(seed, 150 + int(seed) * 7, 70 + int(seed) * 3);
        const RgbaImageView image = scan.view();
        const Point2d seedPoint{scan.width / 2.0, scan.height - 5.0};
        const RgbaColor reference{42, 42, 42, 255};
        const int tolerance = tolerances[seed % 4];
        ASSERT_TRUE(sameBits(collectEdgePoints(image, seedPoint, reference, tolerance),
                             plain::collectEdgePoints(image, seedPoint, reference, tolerance)))
            << "seed " << seed;
    }
}

TEST(CollectEdgePointsDifferential, TinyImagesSeedsAtTheMarginsAndOddReferences_GiveTheFirstFormsEdge)
{
    // Reference channels far outside 0..255 square to doubles that round;
    // the looked-up squares must round the same way.
    std::mt19937_64 random(41);
    const RgbaColor references[] = {{0, 0, 0, 255}, {-70000000, 3, 300, 0}, {100, 100, 100, 100}};
    const int tolerances[] = {30, 0, -5, 150, 2000000000};
    for (int trial = 0; trial < 400; ++trial) {
        const int width = 4 + trial % 9;
        const int height = 4 + (trial / 9) % 7;
        test::TestImage image(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.set(x, y, random() % 3 == 0 ? test::grey(int(random() % 256)) : test::grey(int(random() % 40)));
        const Point2d seedPoint{double(random() % unsigned(width + 1)) - 0.5, double(random() % unsigned(height))};
        const RgbaColor& reference = references[trial % 3];
        const int tolerance = tolerances[trial % 5];
        ASSERT_TRUE(sameBits(collectEdgePoints(image.view(), seedPoint, reference, tolerance),
                             plain::collectEdgePoints(image.view(), seedPoint, reference, tolerance)))
            << "trial " << trial;
    }
}

} // namespace
} // namespace quorrel
