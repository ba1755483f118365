#include "oracle/PlainNearestPoint.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "analysis/FovealExtrema.h"
#include "analysis/Geometry.h"

namespace quorrel::plain {

Point2d findNearestCurvePoint(const std::vector<Point2d>& polyline, Point2d point, int dividingCount)
{
    if (polyline.empty() || dividingCount < 1)
        return {kNaN, kNaN};
    if (polyline.size() == 1)
        return polyline.front();

    const double step = 1.0 / dividingCount;
    Point2d nearest{kNaN, kNaN};
    double best = kLargestDistance;
    for (std::size_t i = 0; i + 1 < polyline.size(); ++i) {
        double t = 0.0;
        for (int j = 0; j < dividingCount; ++j) {
            const Point2d candidate = pointOnSegment(polyline[i], polyline[i + 1], t);
            const double distance = distanceBetween(point, candidate);
            if (distance < best) {
                best = distance;
                nearest = candidate;
            }
            t += step;
        }
    }
    return nearest;
}

void sampleReferenceCurve(Boundary& boundary, int dividingCount)
{
    boundary.curveSamples.clear();
    boundary.referenceSamples.clear();
    const std::vector<Point2d>& reference = boundary.referenceCurve;
    if (dividingCount < 1 || reference.size() < 2)
        return;

    const double step = 1.0 / dividingCount;
    for (std::size_t k = 0; k + 1 < reference.size(); ++k) {
        double t = 0.0;
        for (int j = 0; j < dividingCount; ++j) {
            const Point2d sample = pointOnSegment(reference[k], reference[k + 1], t);
            boundary.curveSamples.push_back(plain::findNearestCurvePoint(boundary.curve, sample, dividingCount));
            boundary.referenceSamples.push_back(sample);
            t += step;
        }
    }
}

void detectFovealWidthAndDepth(Boundary& boundary, int dividingCount)
{
    plain::sampleReferenceCurve(boundary, dividingCount);
    quorrel::smoothSampleDistances(boundary);
    quorrel::findLocalMinMax(boundary);
    if (boundary.indexA >= 0 && boundary.indexE >= 0)
        quorrel::resampleBetweenMaxima(boundary);
}

} // namespace quorrel::plain
