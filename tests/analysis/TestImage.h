#pragma once

// Shared setup of the analysis tests: a small RGBA buffer for hand-made
// pictures (bottom row first), generated foveae, rows of points and report
// lines.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/Point2d.h"
#include "analysis/RgbaImage.h"
#include "samples/generator/SyntheticScan.h"

namespace quorrel::test {

class TestImage {
public:
    TestImage(int width, int height, RgbaColor fill = RgbaColor{0, 0, 0, 255})
        : m_width(width)
        , m_height(height)
        , m_bytes(static_cast<std::size_t>(width * height) * 4u)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                set(x, y, fill);
    }

    void set(int x, int y, RgbaColor color)
    {
        std::uint8_t* pixel =
            &m_bytes[(static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x))
                     * 4u];
        pixel[0] = static_cast<std::uint8_t>(color.r);
        pixel[1] = static_cast<std::uint8_t>(color.g);
        pixel[2] = static_cast<std::uint8_t>(color.b);
        pixel[3] = static_cast<std::uint8_t>(color.a);
    }

    RgbaImageView view() const { return RgbaImageView{m_bytes.data(), m_width, m_height}; }

private:
    int m_width;
    int m_height;
    std::vector<std::uint8_t> m_bytes;
};

inline RgbaColor grey(int level)
{
    return RgbaColor{level, level, level, 255};
}

// A fovea centred in a width x height scan, the rows counted from the bottom.
inline SyntheticScanParameters foveaShape(int width, int height, double surfaceRow, double referenceRow,
                                          double pitDepth, double pitSigma, double rimHeight, double rimSigma)
{
    SyntheticScanParameters parameters;
    parameters.width = width;
    parameters.height = height;
    parameters.surfaceRow = surfaceRow;
    parameters.referenceRow = referenceRow;
    parameters.pitCentreX = width / 2.0;
    parameters.pitDepth = pitDepth;
    parameters.pitSigma = pitSigma;
    parameters.rimHeight = rimHeight;
    parameters.rimSigma = rimSigma;
    return parameters;
}

// The 400 x 200 fovea of the pipeline, measurement-file, window and command
// tests: surface at row 140 dipping 30 rows at column 200, lower border at
// row 60. Speckled, with lower and wider rims, its traced surface breaks left
// of the left rim at the default connecting distance.
inline SyntheticScanParameters smallFovea(bool speckled = false)
{
    SyntheticScanParameters parameters = foveaShape(400, 200, 140, 60, 30, 30, speckled ? 6 : 4, speckled ? 60 : 70);
    if (speckled) {
        parameters.noiseAmplitude = 16.0;
        parameters.speckleContrast = 0.4;
        parameters.seed = 4;
    }
    return parameters;
}

// count points along a row: x = firstX, firstX + 1, ...
inline std::vector<Point2d> row(double firstX, int count, double y)
{
    std::vector<Point2d> points;
    for (int i = 0; i < count; ++i)
        points.push_back(Point2d{firstX + i, y});
    return points;
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        result.push_back(line);
    return result;
}

} // namespace quorrel::test
