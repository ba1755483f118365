#pragma once

// Findings that make a measurement's figures untrustworthy although every
// step ran: the detection cannot tell a rim at the end of the measured
// stretch, or a thickness line slanted to the traced curve's end, from a
// real one.

#include <string>
#include <vector>

#include "analysis/Boundary.h"
#include "analysis/CalibratedMeasurement.h"

namespace quorrel {

enum class TrustWarningKind {
    // A or E is the first or last sample: the true rim may lie beyond.
    RimAtProfileEnd,
    // A Top point is an end of the traced curve: its thickness is measured
    // along a slanted line to that end.
    TopAtCurveEnd,
    // The reference curve reaches further across than the traced curve.
    CurveShortOfReference
};

struct TrustWarning {
    TrustWarningKind kind = TrustWarningKind::RimAtProfileEnd;
    std::string finding; // one sentence without a remedy, no line break
};

// The findings on a boundary with valid extrema, and on its calibrated run
// when one is given and determined (only what the pixel run did not already
// show). An end of the curve counts when a Top point lies within half a pixel
// of it; the curve counts as short when the reference curve reaches beyond
// its ends by more than 2 % of its span in all. No extrema, no findings.
std::vector<TrustWarning> findTrustWarnings(const Boundary& boundary, const CalibratedMeasurements* calibrated);

// A short fixed name of a kind, for tables: "rim-at-profile-end",
// "top-at-curve-end", "curve-short-of-reference".
const char* trustWarningCode(TrustWarningKind kind);

// The codes of the distinct kinds among the findings, in order of their
// first finding, joined by ";"; empty when there are none.
std::string trustWarningCodes(const std::vector<TrustWarning>& warnings);

} // namespace quorrel
