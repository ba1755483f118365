#pragma once

// A proposed vitreous patch: a rectangle inside the dark band above the
// retina, to grow the region from and to estimate the tolerance on, kept
// clear of the retina, of anything else bright (scale bars, text) and of the
// image's edges.

#include <string>

#include "analysis/Types.h"

namespace quorrel {

struct VitreousPatchParameters {
    int smoothingRadius = 3; // grey levels are averaged over (2r+1) x (2r+1) pixels first
    double minContrast = 40.0; // least difference between the dark and the bright pixels' mean grey level
    double minRetinaSpan = 0.3; // least fraction of the columns the bright band must cover
    int clearance = 8; // pixels kept between the patch and anything bright or the image's edge
    int minPatchWidth = 16;
    int minPatchHeight = 8;
    int maxPatchWidth = 120;
    int maxPatchHeight = 40;
};

struct VitreousPatchProposal {
    bool found = false;
    PixelRect rect; // half-open, image rows counted up from the bottom
    std::string reason; // why nothing was proposed, in lower case: "the image has no pixels"
};

// The patch: the largest rectangle (each side counted up to its maximum) of
// dark pixels above the largest bright component, cut to the maximum size
// around its centre. A blank or uniform image, one whose bright part spans
// too few columns (no retina), or a dark band too small for the minimum
// patch is refused with a reason; so is an empty image.
VitreousPatchProposal proposeVitreousPatch(const RgbaImageView& image,
                                           const VitreousPatchParameters& parameters = VitreousPatchParameters{});

} // namespace quorrel
