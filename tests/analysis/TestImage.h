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
        : width_(width)
        , height_(height)
        , bytes_(static_cast<std::size_t>(width * height) * 4u)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                set(x, y, fill);
    }

    void set(int x, int y, RgbaColor color)
    {
        std::uint8_t* pixel =
            &bytes_[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x))
                    * 4u];
        pixel[0] = static_cast<std::uint8_t>(color.r);
        pixel[1] = static_cast<std::uint8_t>(color.g);
        pixel[2] = static_cast<std::uint8_t>(color.b);
        pixel[3] = static_cast<std::uint8_t>(color.a);
    }

    RgbaImageView view() const { return RgbaImageView{bytes_.data(), width_, height_}; }

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> bytes_;
};

inline RgbaColor grey(int level)
{
    return RgbaColor{level, level, level, 255};
}

} // namespace quorrel::test
