#include "samples/generator/SyntheticScan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "analysis/Point2d.h"

namespace quorrel {

namespace {

// SplitMix64: tiny, well mixed, and written out here, unlike the
// standard distributions whose output differs between library versions.
class NoiseSource {
public:
    explicit NoiseSource(std::uint64_t seed)
        : state(seed)
    {
    }

    // Uniform in [-1, 1).
    double next()
    {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        const double unit = static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
        return 2.0 * unit - 1.0;
    }

private:
    std::uint64_t state;
};

double gaussian(double offset, double sigma)
{
    if (sigma <= 0.0)
        return offset == 0.0 ? 1.0 : 0.0;
    return std::exp(-(offset * offset) / (2.0 * sigma * sigma));
}

std::uint8_t noisyChannel(double level, double noise)
{
    const double value = std::floor(level + noise + 0.5);
    return static_cast<std::uint8_t>(std::min(std::max(value, 0.0), 255.0));
}

// Zero-mean, unit-deviation grains: each pixel sums the 4 x 2 uniform values
// of a white field to its upper right, so neighbours share most of them. The
// field comes from a stream of its own so that the grey noise stays the same.
std::vector<double> makeSpeckleGrains(std::size_t width, std::size_t height, std::uint64_t seed)
{
    constexpr std::size_t grainColumns = 4;
    constexpr std::size_t grainRows = 2;
    const std::size_t fieldWidth = width + grainColumns - 1;
    const std::size_t fieldHeight = height + grainRows - 1;
    NoiseSource source(seed ^ 0xA5A5A5A5A5A5A5A5ull);
    std::vector<double> white(fieldWidth * fieldHeight);
    for (double& value : white)
        value = source.next();

    // A uniform value in [-1, 1) has variance 1/3.
    const double unitDeviation = 1.0 / std::sqrt(static_cast<double>(grainColumns * grainRows) / 3.0);
    std::vector<double> grains(width * height);
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            double sum = 0.0;
            for (std::size_t dy = 0; dy < grainRows; ++dy)
                for (std::size_t dx = 0; dx < grainColumns; ++dx)
                    sum += white[(y + dy) * fieldWidth + x + dx];
            grains[y * width + x] = sum * unitDeviation;
        }
    }
    return grains;
}

// Slope of the vertical thickness (the tilt cancels out of it).
double thicknessSlopeAt(const SyntheticScanParameters& parameters, double x)
{
    const double offset = x - parameters.pitCentreX;
    double slope = 0.0;
    if (parameters.pitSigma > 0.0)
        slope += parameters.pitDepth * offset / (parameters.pitSigma * parameters.pitSigma)
            * gaussian(offset, parameters.pitSigma);
    if (parameters.rimSigma > 0.0)
        slope -= parameters.rimHeight * offset / (parameters.rimSigma * parameters.rimSigma)
            * gaussian(offset, parameters.rimSigma);
    return slope;
}

// Position of the largest thickness within [low, high]: a scan at 1/8 column
// (the first of equal values wins), refined by bisecting the slope where it
// changes sign around the best sample. The thickness is too flat at its
// maximum for a search on the values alone to find it to better than 1e-5.
double findLargestThickness(const SyntheticScan& scan, double low, double high)
{
    if (!(high > low))
        return low;
    const double step = 0.125;
    double best = low;
    double bestThickness = scan.thicknessAt(low);
    const auto sampleCount = static_cast<long long>((high - low) / step);
    for (long long i = 1; i <= sampleCount; ++i) {
        const double x = low + step * static_cast<double>(i);
        const double thickness = scan.thicknessAt(x);
        if (thickness > bestThickness) {
            bestThickness = thickness;
            best = x;
        }
    }

    double rising = std::max(low, best - step);
    double falling = std::min(high, best + step);
    if (!(thicknessSlopeAt(scan.parameters, rising) > 0.0 && thicknessSlopeAt(scan.parameters, falling) < 0.0))
        return best;
    for (int iteration = 0; iteration < 60; ++iteration) {
        const double middle = 0.5 * (rising + falling);
        if (thicknessSlopeAt(scan.parameters, middle) > 0.0)
            rising = middle;
        else
            falling = middle;
    }
    return 0.5 * (rising + falling);
}

// Refines a minimum of f known to lie within [low, high] by golden-section
// search.
template <typename Function> double refineMinimum(Function f, double low, double high)
{
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    for (int iteration = 0; iteration < 100; ++iteration) {
        const double left = high - ratio * (high - low);
        const double right = low + ratio * (high - low);
        if (f(left) < f(right))
            high = right;
        else
            low = left;
    }
    return 0.5 * (low + high);
}

// Column of the fastest change of thickness within [low, high]: a scan at
// 1/8 column, refined around the best sample.
double findSteepestThickness(const SyntheticScanParameters& parameters, double low, double high)
{
    const auto steepness = [&](double x) { return -std::fabs(thicknessSlopeAt(parameters, x)); };
    const double step = 0.125;
    double best = low;
    for (double x = low; x <= high; x += step) {
        if (steepness(x) < steepness(best))
            best = x;
    }
    return refineMinimum(steepness, std::max(low, best - step), std::min(high, best + step));
}

// The rows both borders rise by at column x.
double bend(const SyntheticScanParameters& parameters, double x)
{
    const double offset = x - parameters.pitCentreX;
    return parameters.tiltRowsPerColumn * offset + parameters.curvature * offset * offset;
}

} // namespace

double SyntheticScan::surfaceRowAt(double x) const
{
    const double offset = x - parameters.pitCentreX;
    return parameters.surfaceRow - parameters.pitDepth * gaussian(offset, parameters.pitSigma)
        + parameters.rimHeight * gaussian(offset, parameters.rimSigma) + bend(parameters, x);
}

double SyntheticScan::referenceRowAt(double x) const
{
    return parameters.referenceRow + bend(parameters, x);
}

double SyntheticScan::thicknessAt(double x) const
{
    return surfaceRowAt(x) - referenceRowAt(x);
}

RgbaImageView SyntheticScan::view() const
{
    RgbaImageView image;
    if (rgba.empty())
        return image;
    image.pixels = rgba.data();
    image.width = width;
    image.height = height;
    return image;
}

SyntheticScan makeSyntheticScan(const SyntheticScanParameters& parameters)
{
    SyntheticScan scan;
    scan.parameters = parameters;

    const double lastColumn = std::max(0.0, static_cast<double>(parameters.width - 1));
    const double centre = std::min(std::max(parameters.pitCentreX, 0.0), lastColumn);
    scan.pitCentreX = parameters.pitCentreX;
    scan.leftRimX = findLargestThickness(scan, 0.0, centre);
    scan.rightRimX = findLargestThickness(scan, centre, lastColumn);
    scan.thicknessAtCentre = scan.thicknessAt(scan.pitCentreX);
    scan.thicknessAtLeftRim = scan.thicknessAt(scan.leftRimX);
    scan.thicknessAtRightRim = scan.thicknessAt(scan.rightRimX);

    if (parameters.width < 1 || parameters.height < 1)
        return scan;
    scan.width = parameters.width;
    scan.height = parameters.height;
    const auto width = static_cast<std::size_t>(parameters.width);
    const auto height = static_cast<std::size_t>(parameters.height);
    scan.rgba.resize(width * height * 4u);

    std::vector<double> surfaceRows(width);
    std::vector<double> referenceRows(width);
    for (std::size_t x = 0; x < width; ++x) {
        surfaceRows[x] = scan.surfaceRowAt(static_cast<double>(x));
        referenceRows[x] = scan.referenceRowAt(static_cast<double>(x));
    }

    const std::vector<double> grains =
        parameters.speckleContrast != 0.0 ? makeSpeckleGrains(width, height, parameters.seed) : std::vector<double>();
    NoiseSource noise(parameters.seed);
    std::uint8_t* out = scan.rgba.data();
    for (std::size_t y = 0; y < height; ++y) {
        const auto row = static_cast<double>(y);
        for (std::size_t x = 0; x < width; ++x) {
            const RgbaColor& base = row > surfaceRows[x]                ? parameters.vitreousColor
                : row >= referenceRows[x]                               ? parameters.retinaColor
                : row >= referenceRows[x] - parameters.choroidThickness ? parameters.choroidColor
                                                                        : parameters.belowColor;
            const auto column = static_cast<double>(x);
            const bool shadowed = column >= parameters.shadowLeft
                && column < parameters.shadowLeft + parameters.shadowWidth
                && row < surfaceRows[x] - parameters.shadowDepth;
            double speckle = grains.empty() ? 1.0 : 1.0 + parameters.speckleContrast * grains[y * width + x];
            if (shadowed)
                speckle *= parameters.shadowAttenuation;
            const double grey = parameters.noiseAmplitude * noise.next();
            *out++ = noisyChannel(base.r * speckle, grey);
            *out++ = noisyChannel(base.g * speckle, grey);
            *out++ = noisyChannel(base.b * speckle, grey);
            *out++ = noisyChannel(base.a, 0.0);
        }
    }
    return scan;
}

} // namespace quorrel

namespace quorrel {

namespace {

Point2d micronPoint(const SyntheticScan& scan, double x, double row)
{
    return {x * scan.parameters.lateralMicronsPerPixel, row * scan.parameters.axialMicronsPerPixel};
}

Point2d surfaceMicrons(const SyntheticScan& scan, double x)
{
    return micronPoint(scan, x, scan.surfaceRowAt(x));
}

double length(Point2d v)
{
    return std::sqrt(v.x * v.x + v.y * v.y);
}

} // namespace

SyntheticMicronGeometry syntheticMicronGeometry(const SyntheticScan& scan)
{
    const SyntheticScanParameters& parameters = scan.parameters;
    const double lateral = parameters.lateralMicronsPerPixel;
    const double axial = parameters.axialMicronsPerPixel;
    // The lower border's direction in microns, and the share of a vertical
    // distance that lies at right angles to it.
    const Point2d border{lateral, parameters.tiltRowsPerColumn * axial};
    const double across = lateral / length(border);

    SyntheticMicronGeometry geometry;
    geometry.thicknessAtCentre = scan.thicknessAtCentre * axial * across;
    geometry.thicknessAtLeftRim = scan.thicknessAtLeftRim * axial * across;
    geometry.thicknessAtRightRim = scan.thicknessAtRightRim * axial * across;

    const Point2d left = surfaceMicrons(scan, scan.leftRimX);
    const Point2d centre = surfaceMicrons(scan, scan.pitCentreX);
    const Point2d right = surfaceMicrons(scan, scan.rightRimX);
    const Point2d rims{right.x - left.x, right.y - left.y};
    geometry.fovealWidth = length(rims);
    geometry.fovealDepth =
        std::fabs(rims.x * (centre.y - left.y) - rims.y * (centre.x - left.x)) / geometry.fovealWidth;

    geometry.leftWallX = findSteepestThickness(parameters, scan.leftRimX, scan.pitCentreX);
    geometry.rightWallX = findSteepestThickness(parameters, scan.pitCentreX, scan.rightRimX);
    const std::array<Point2d, 5> chordPoints = {left, surfaceMicrons(scan, geometry.leftWallX), centre,
                                                surfaceMicrons(scan, geometry.rightWallX), right};
    const double degreesPerRadian = 180.0 / std::acos(-1.0);
    for (std::size_t i = 0; i < geometry.wallChordDegrees.size(); ++i) {
        const Point2d chord{chordPoints[i + 1].x - chordPoints[i].x, chordPoints[i + 1].y - chordPoints[i].y};
        geometry.wallChordDegrees[i] =
            std::atan2(border.x * chord.y - border.y * chord.x, border.x * chord.x + border.y * chord.y)
            * degreesPerRadian;
    }
    return geometry;
}

double nearestSurfaceMicrons(const SyntheticScan& scan, double x)
{
    const Point2d bottom = micronPoint(scan, x, scan.referenceRowAt(x));
    const auto distance = [&](double column) {
        const Point2d top = surfaceMicrons(scan, column);
        return length(Point2d{top.x - bottom.x, top.y - bottom.y});
    };
    // No surface point farther across than the one straight above can be nearer.
    const double reach = distance(x) / scan.parameters.lateralMicronsPerPixel;
    const double step = 1.0 / 32.0;
    double best = x;
    for (double column = x - reach; column <= x + reach; column += step) {
        if (distance(column) < distance(best))
            best = column;
    }
    return distance(refineMinimum(distance, best - step, best + step));
}

} // namespace quorrel
