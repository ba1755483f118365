#include "analysis/ColorDistance.h"

#include <algorithm>
#include <cmath>

namespace quorrel {

namespace {

constexpr int kFallbackColorDistance = 30;
constexpr int kLargestEstimatedColorDistance = 128;

// The rectangle cut to the image, so that a caller's unclamped rectangle can
// never read outside the buffer.
PixelRect clampToImage(const RgbaImageView& image, const PixelRect& rect)
{
    if (image.isEmpty())
        return PixelRect{};
    PixelRect clamped;
    clamped.left = std::max(rect.left, 0);
    clamped.bottom = std::max(rect.bottom, 0);
    clamped.right = std::min(rect.right, image.width);
    clamped.top = std::min(rect.top, image.height);
    return clamped;
}

double clampChannel(double value)
{
    return std::min(std::max(value, 0.0), 255.0);
}

} // namespace

MeanColor meanColor(const RgbaImageView& image, const PixelRect& rect)
{
    const PixelRect area = clampToImage(image, rect);
    double sumR = 0.0;
    double sumG = 0.0;
    double sumB = 0.0;
    double sumA = 0.0;
    long long count = 0;
    for (int y = area.bottom; y < area.top; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const std::uint8_t* pixel = image.pixel(x, y);
            sumR += pixel[0];
            sumG += pixel[1];
            sumB += pixel[2];
            sumA += pixel[3];
            ++count;
        }
    }

    MeanColor mean;
    mean.count = count;
    if (count >= 1) {
        const auto n = static_cast<double>(count);
        mean.r = clampChannel(sumR / n);
        mean.g = clampChannel(sumG / n);
        mean.b = clampChannel(sumB / n);
        mean.a = clampChannel(sumA / n);
    }
    return mean;
}

double colorDistance(const std::uint8_t* pixel, const RgbaColor& reference)
{
    const double dr = static_cast<double>(pixel[0]) - reference.r;
    const double dg = static_cast<double>(pixel[1]) - reference.g;
    const double db = static_cast<double>(pixel[2]) - reference.b;
    const double da = static_cast<double>(pixel[3]) - reference.a;
    return std::sqrt(dr * dr + dg * dg + db * db + da * da);
}

int estimateMaxColorDistance(const RgbaImageView& image, const PixelRect& rect)
{
    const PixelRect area = clampToImage(image, rect);
    const MeanColor mean = meanColor(image, area);

    double squaresR = 0.0;
    double squaresG = 0.0;
    double squaresB = 0.0;
    double squaresA = 0.0;
    for (int y = area.bottom; y < area.top; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const std::uint8_t* pixel = image.pixel(x, y);
            const double dr = pixel[0] - mean.r;
            const double dg = pixel[1] - mean.g;
            const double db = pixel[2] - mean.b;
            const double da = pixel[3] - mean.a;
            squaresR += dr * dr;
            squaresG += dg * dg;
            squaresB += db * db;
            squaresA += da * da;
        }
    }

    if (mean.count <= 5)
        return kFallbackColorDistance;

    const auto degreesOfFreedom = static_cast<double>(mean.count - 1);
    const double deviationR = std::sqrt(squaresR / degreesOfFreedom);
    const double deviationG = std::sqrt(squaresG / degreesOfFreedom);
    const double deviationB = std::sqrt(squaresB / degreesOfFreedom);
    const double deviationA = std::sqrt(squaresA / degreesOfFreedom);
    const double spread = std::sqrt(deviationR * deviationR + deviationG * deviationG + deviationB * deviationB
                                    + deviationA * deviationA);
    // The spread of byte values stays below a few hundred: no overflow here.
    const int estimate = static_cast<int>(4.5 * spread + 0.5);
    return std::min(std::max(estimate, kFallbackColorDistance), kLargestEstimatedColorDistance);
}

} // namespace quorrel
