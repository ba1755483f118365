#pragma once

// Inputs and comparisons shared by the tests that hold the library's fast
// steps against their literal forms.

#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/Boundary.h"
#include "analysis/ColorDistance.h"
#include "analysis/PixelRect.h"
#include "analysis/Point2d.h"
#include "analysis/RegionGrowing.h"
#include "analysis/RgbaImage.h"
#include "samples/generator/SyntheticScan.h"

namespace quorrel::test {

// A small scan with strong speckle: a frayed retinal surface and holes in
// the vitreous, so that its edge has many pieces, forks and ties.
inline SyntheticScan makeSpeckledScan(std::uint64_t seed, int width, int height)
{
    SyntheticScanParameters parameters;
    parameters.width = width;
    parameters.height = height;
    parameters.surfaceRow = 0.6 * height;
    parameters.referenceRow = 0.2 * height;
    parameters.pitCentreX = 0.5 * width;
    parameters.pitDepth = 0.15 * height;
    parameters.pitSigma = 0.12 * width;
    parameters.rimHeight = 0.02 * height;
    parameters.rimSigma = 0.25 * width;
    parameters.noiseAmplitude = 10.0;
    parameters.speckleContrast = 0.9;
    parameters.vitreousColor = RgbaColor{40, 40, 40, 255};
    parameters.retinaColor = RgbaColor{150, 150, 150, 255};
    parameters.seed = seed;
    return makeSyntheticScan(parameters);
}

// The edge pixels of the region grown from the middle of the scan's top
// quarter, with the tolerance estimated from a patch there.
inline std::vector<Point2d> speckledEdgePoints(const SyntheticScan& scan)
{
    const RgbaImageView image = scan.view();
    const int left = scan.width / 2 - scan.width / 10;
    const int right = scan.width / 2 + scan.width / 10;
    const int top = scan.height - 3;
    const int bottom = scan.height - scan.height / 5;
    const PixelRect patch = pixelRectBetween(left, top, right, bottom, scan.width, scan.height);
    const Boundary candidate = makeCandidateBoundary(image, L"", patch, estimateMaxColorDistance(image, patch));
    return collectEdgePoints(image, candidate.seedPoint, candidate.referenceColor, candidate.maxColorDistance);
}

// Equal bit for bit: NaN matches NaN, and -0 differs from +0.
inline bool sameBits(const std::vector<Point2d>& a, const std::vector<Point2d>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Point2d)) == 0);
}

inline bool sameBits(Point2d a, Point2d b)
{
    return std::memcmp(&a, &b, sizeof(Point2d)) == 0;
}

inline bool sameNodes(const std::vector<CurveNode>& a, const std::vector<CurveNode>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!sameBits(a[i].point, b[i].point) || a[i].prev != b[i].prev || a[i].next != b[i].next
            || a[i].neighbours != b[i].neighbours || a[i].neighbourDistances != b[i].neighbourDistances)
            return false;
    }
    return true;
}

} // namespace quorrel::test
