#pragma once

// Colours and the RGBA pixel buffer the measurement reads.

#include <cstddef>
#include <cstdint>

namespace quorrel {

// A colour as four integer channels, each 0 to 255.
struct RgbaColor {
    int r = 0;
    int g = 0;
    int b = 0;
    int a = 0;
};

inline bool operator==(const RgbaColor& p, const RgbaColor& q)
{
    return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
}

// Non-owning view of an RGBA buffer, 4 bytes per pixel, rows packed, row 0 at
// the bottom. Pixel (x, y) starts at byte (y * width + x) * 4.
struct RgbaImageView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;

    bool isEmpty() const { return pixels == nullptr || width <= 0 || height <= 0; }
    const std::uint8_t* pixel(int x, int y) const
    {
        return pixels
            + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4u;
    }
};

} // namespace quorrel
