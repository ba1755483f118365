#pragma once

// Synthetic B-scan-like images with known geometry, for tests, benchmarks and
// sample images: dark vitreous above a bright retina whose upper surface dips
// into a foveal pit with a rim on either side, over a flat, tilted or curved
// lower border, optionally over a bright choroid and across a vessel's shadow. The noise comes from the generator's own
// PRNG, so a seed gives the same bytes on every machine and library version.

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/RgbaImage.h"

namespace quorrel {

struct SyntheticScanParameters {
    int width = 800;
    int height = 400;
    // Rows count upward from the bottom row, as in the view's buffer.
    double surfaceRow = 280.0; // inner surface far from the pit
    double referenceRow = 120.0; // lower border of the retina
    double pitCentreX = 400.0;
    // The surface is surfaceRow - pitDepth * G(pitSigma) + rimHeight * G(rimSigma),
    // G a unit Gaussian around pitCentreX: the wider, shallower bump raises a
    // rim on either side of the pit when rimSigma > pitSigma.
    double pitDepth = 60.0;
    double pitSigma = 60.0;
    double rimHeight = 8.0;
    double rimSigma = 140.0;
    // Both borders rise by this many rows per column, pivoting at pitCentreX,
    // so the vertical thickness does not depend on it.
    double tiltRowsPerColumn = 0.0;
    // Both borders also rise by this times the squared distance from
    // pitCentreX, as in a scan of a curved eye; the vertical thickness stays.
    // The micron figures below take the border as straight: leave it at 0
    // where they are used.
    double curvature = 0.0;
    // Grey noise, uniform within plus or minus this many levels and the same in
    // R, G and B. At 6 a vitreous patch's spread estimates the tolerance 30.
    double noiseAmplitude = 6.0;
    std::uint64_t seed = 1;
    RgbaColor vitreousColor{20, 20, 20, 255};
    RgbaColor retinaColor{190, 190, 190, 255};
    RgbaColor belowColor{110, 110, 110, 255};
    // A band this many rows thick right below the lower border, in its own
    // colour: a bright choroid whose own lower edge competes with the border.
    double choroidThickness = 0.0;
    RgbaColor choroidColor{140, 140, 140, 255};
    // The shadow a vessel casts: in the columns shadowLeft .. shadowLeft +
    // shadowWidth, every level from shadowDepth rows below the surface down
    // is scaled by shadowAttenuation. A width of 0 casts none.
    double shadowLeft = 0.0;
    double shadowWidth = 0.0;
    double shadowDepth = 6.0;
    double shadowAttenuation = 0.35;
    // Speckle as in real scans: every level is scaled by 1 + speckleContrast * s
    // before the grey noise is added, s a grain pattern of zero mean and unit
    // deviation with grains about 4 columns wide and 2 rows high (speckle is
    // longer across the scan than along the beam). It has its own random
    // stream, so 0 leaves every byte as it was without it.
    double speckleContrast = 0.0;
    // Microns per pixel across the scan (lateral) and along the beam (axial).
    // They change no pixel: they give the shape above, which is drawn in
    // pixels, its size in microns (syntheticMicronGeometry). A real scan has
    // pixels some three times as wide as they are high.
    double lateralMicronsPerPixel = 1.0;
    double axialMicronsPerPixel = 1.0;
};

// A generated scan and its geometry. Pixel (x, y) is vitreous when
// y > surfaceRowAt(x), retina when referenceRowAt(x) <= y <= surfaceRowAt(x),
// choroid when it lies less than choroidThickness below that, and below the
// retina otherwise; the retina's top pixel in column x is thus row
// floor(surfaceRowAt(x)). Thicknesses are vertical, in rows.
struct SyntheticScan {
    SyntheticScanParameters parameters;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba; // bottom row first, 4 bytes per pixel

    double pitCentreX = 0.0; // smallest thickness when the pit outweighs the rim
    double leftRimX = 0.0; // largest thickness in columns 0 .. pit centre
    double rightRimX = 0.0; // largest thickness in columns pit centre .. width-1
    double thicknessAtCentre = 0.0;
    double thicknessAtLeftRim = 0.0;
    double thicknessAtRightRim = 0.0;

    // Row of the inner surface at column x (any x, also between columns).
    double surfaceRowAt(double x) const;
    // Row of the lower border at column x.
    double referenceRowAt(double x) const;
    // surfaceRowAt(x) - referenceRowAt(x).
    double thicknessAt(double x) const;
    // The pixels as an image view; empty when the scan has no pixels.
    RgbaImageView view() const;
};

// The figures a measurement in microns should find on a scan: lengths in
// microns, angles in degrees of real space, all taken in the scan's microns
// (x times the lateral, y times the axial scale). Thicknesses at the pit
// centre and the rims run at right angles to the lower border, where the
// surface is parallel to it; width and depth are taken between the surface
// points of the rims and the pit centre.
struct SyntheticMicronGeometry {
    double thicknessAtCentre = 0.0;
    double thicknessAtLeftRim = 0.0;
    double thicknessAtRightRim = 0.0;
    double fovealWidth = 0.0; // left rim to right rim
    double fovealDepth = 0.0; // pit centre to the line through the rims
    // Columns of the steepest surface between each rim and the pit centre.
    double leftWallX = 0.0;
    double rightWallX = 0.0;
    // Angles of the chords left rim to left wall, left wall to centre, centre
    // to right wall and right wall to right rim, against the lower border
    // (positive where the surface rises to the right).
    std::array<double, 4> wallChordDegrees{};
};

SyntheticMicronGeometry syntheticMicronGeometry(const SyntheticScan& scan);

// Distance in microns from the lower border at column x to the nearest point
// of the inner surface: the thickness a measurement in microns finds there.
double nearestSurfaceMicrons(const SyntheticScan& scan, double x);

// Renders the scan and works out its geometry. A width or height below 1
// gives no pixels (the geometry is still worked out).
SyntheticScan makeSyntheticScan(const SyntheticScanParameters& parameters);

} // namespace quorrel
