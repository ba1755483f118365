#include "imageio/SampleWindow.h"

namespace quorrel::imagedecode {

namespace {

// The value at an ascending rank of the samples counted in histogram.
std::uint16_t valueAtRank(const std::vector<std::uint64_t>& histogram, std::uint64_t rank)
{
    std::uint64_t below = 0;
    for (std::size_t value = 0; value < histogram.size(); ++value) {
        below += histogram[value];
        if (below > rank)
            return static_cast<std::uint16_t>(value);
    }
    return 0xffff;
}

} // namespace

void SampleWindow::finish()
{
    if (count_ == 0)
        return;
    const auto margin = static_cast<std::uint64_t>(0.005 * static_cast<double>(count_ - 1));
    low_ = valueAtRank(histogram_, margin);
    high_ = valueAtRank(histogram_, count_ - 1 - margin);
}

std::uint8_t SampleWindow::byte(std::uint16_t sample) const
{
    if (sample <= low_)
        return 0;
    if (sample >= high_)
        return 255;
    const std::uint32_t range = high_ - low_;
    return static_cast<std::uint8_t>((2u * 255u * (sample - low_) + range) / (2u * range));
}

} // namespace quorrel::imagedecode
