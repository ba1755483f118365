#pragma once

// A small RGBA buffer for hand-made test pictures, bottom row first.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/RgbaImage.h"

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

} // namespace quorrel::test
