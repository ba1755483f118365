#include "analysis/TrustWarnings.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

#include "analysis/FovealExtrema.h"
#include "analysis/Geometry.h"
#include "analysis/MeasurementReport.h"

namespace quorrel {

namespace {

// A traced curve lies on whole pixels: within half a pixel of its end a Top
// point is that end.
constexpr double kCurveEndReach = 0.5;
// Share of the reference curve's span that the traced curve may leave
// uncovered: a traced curve usually stops a few pixels short of the image's
// edges, where no one measures a rim.
constexpr double kUncoveredShare = 0.02;

// A finding with what identifies it across the two runs.
struct KeyedFinding {
    TrustWarning warning;
    std::string key;
};

std::string xText(double x)
{
    return "x = " + formatReportNumber(x);
}

// The Top points of A to E in image pixels and whether each exists.
struct TopPoints {
    std::array<Point2d, 5> points{};
    std::array<bool, 5> present{};
};

TopPoints pixelRunTops(const Boundary& boundary)
{
    TopPoints tops;
    const std::array<int, 5> sampleIndex = {boundary.indexA, -1, boundary.indexC, -1, boundary.indexE};
    const std::array<int, 5> resampledIndex = {-1, boundary.indexB, -1, boundary.indexD, -1};
    for (std::size_t i = 0; i < tops.points.size(); ++i) {
        if (indexInRange(sampleIndex[i], boundary.curveSamples.size())) {
            tops.points[i] = boundary.curveSamples[static_cast<std::size_t>(sampleIndex[i])];
            tops.present[i] = true;
        } else if (indexInRange(resampledIndex[i], boundary.resampledCurve.size())) {
            tops.points[i] = boundary.resampledCurve[static_cast<std::size_t>(resampledIndex[i])];
            tops.present[i] = true;
        }
    }
    return tops;
}

// Rims on the first or last sample, and Top points on an end of the curve
// (given in image pixels).
void addRunFindings(std::vector<KeyedFinding>& findings, const Boundary& run, const TopPoints& tops,
                    const std::vector<Point2d>& curve, const std::string& runName)
{
    const int lastSample = static_cast<int>(run.curveSamples.size()) - 1;
    if (run.indexA == 0)
        findings.push_back(
            {{TrustWarningKind::RimAtProfileEnd,
              runName + "rim A is the first sample of the thickness profile, A Top at " + xText(tops.points[0].x)
                  + ": the true rim may lie beyond the end of the reference curve or of the traced "
                    "curve"},
             "rim A"});
    if (run.indexE == lastSample)
        findings.push_back(
            {{TrustWarningKind::RimAtProfileEnd,
              runName + "rim E is the last sample of the thickness profile, E Top at " + xText(tops.points[4].x)
                  + ": the true rim may lie beyond the end of the reference curve or of the traced "
                    "curve"},
             "rim E"});

    if (curve.empty())
        return;
    for (const Point2d& end : {curve.front(), curve.back()}) {
        std::string labels;
        std::size_t count = 0;
        for (std::size_t i = 0; i < tops.points.size(); ++i) {
            if (!tops.present[i] || !(distanceBetween(tops.points[i], end) <= kCurveEndReach))
                continue;
            labels += (count == 0 ? "" : ", ") + std::string(1, kFovealPointLabels[i]) + " Top";
            ++count;
        }
        if (count == 0)
            continue;
        findings.push_back({{TrustWarningKind::TopAtCurveEnd,
                             runName + labels + (count == 1 ? " lies" : " lie") + " on the end of the traced curve at "
                                 + xText(end.x) + ": " + (count == 1 ? "its thickness is" : "their thicknesses are")
                                 + " measured along a slanted line to that end"},
                            "end " + labels + formatReportNumber(end.x)});
    }
}

void addCoverageFinding(std::vector<KeyedFinding>& findings, const Boundary& boundary)
{
    const auto byX = [](const Point2d& p, const Point2d& q) { return p.x < q.x; };
    const auto [curveLeft, curveRight] = std::minmax_element(boundary.curve.begin(), boundary.curve.end(), byX);
    const auto [referenceLeft, referenceRight] =
        std::minmax_element(boundary.referenceCurve.begin(), boundary.referenceCurve.end(), byX);
    if (curveLeft == boundary.curve.end() || referenceLeft == boundary.referenceCurve.end())
        return;
    const double uncovered =
        std::max(0.0, curveLeft->x - referenceLeft->x) + std::max(0.0, referenceRight->x - curveRight->x);
    if (!(uncovered > kUncoveredShare * (referenceRight->x - referenceLeft->x)))
        return;
    findings.push_back({{TrustWarningKind::CurveShortOfReference,
                         "the traced curve runs from " + xText(curveLeft->x) + " to "
                             + formatReportNumber(curveRight->x) + " but the reference curve from "
                             + xText(referenceLeft->x) + " to " + formatReportNumber(referenceRight->x)
                             + ": beyond the traced curve every thickness is measured to its end"},
                        "coverage"});
}

} // namespace

std::vector<TrustWarning> findTrustWarnings(const Boundary& boundary, const CalibratedMeasurements* calibrated)
{
    std::vector<TrustWarning> warnings;
    if (!hasValidExtrema(boundary))
        return warnings;

    std::vector<KeyedFinding> findings;
    addCoverageFinding(findings, boundary);
    addRunFindings(findings, boundary, pixelRunTops(boundary), boundary.curve, "");
    if (calibrated != nullptr && calibrated->determined) {
        TopPoints tops;
        tops.points = calibrated->topPoints;
        tops.present.fill(true);
        std::vector<KeyedFinding> calibratedFindings;
        addRunFindings(calibratedFindings, calibrated->run, tops, boundary.curve, "in the calibrated run, ");
        for (KeyedFinding& finding : calibratedFindings) {
            const bool shown = std::any_of(findings.begin(), findings.end(),
                                           [&](const KeyedFinding& other) { return other.key == finding.key; });
            if (!shown)
                findings.push_back(std::move(finding));
        }
    }
    for (KeyedFinding& finding : findings)
        warnings.push_back(std::move(finding.warning));
    return warnings;
}

const char* trustWarningCode(TrustWarningKind kind)
{
    switch (kind) {
    case TrustWarningKind::RimAtProfileEnd:
        return "rim-at-profile-end";
    case TrustWarningKind::TopAtCurveEnd:
        return "top-at-curve-end";
    case TrustWarningKind::CurveShortOfReference:
        return "curve-short-of-reference";
    }
    return "";
}

std::string trustWarningCodes(const std::vector<TrustWarning>& warnings)
{
    std::string codes;
    std::vector<TrustWarningKind> listed;
    for (const TrustWarning& warning : warnings) {
        if (std::find(listed.begin(), listed.end(), warning.kind) != listed.end())
            continue;
        listed.push_back(warning.kind);
        codes += (codes.empty() ? "" : ";") + std::string(trustWarningCode(warning.kind));
    }
    return codes;
}

} // namespace quorrel
