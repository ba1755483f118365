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
    if (m_count == 0)
        return;
    const auto margin = static_cast<std::uint64_t>(0.005 * static_cast<double>(m_count - 1));
    m_low = valueAtRank(m_histogram, margin);
    m_high = valueAtRank(m_histogram, m_count - 1 - margin);
}

std::uint8_t SampleWindow::byte(std::uint16_t sample) const
{
    if (sample <= m_low)
        return 0;
    if (sample >= m_high)
        return 255;
    const std::uint32_t range = m_high - m_low;
    return static_cast<std::uint8_t>((2u * 255u * (sample - m_low) + range) / (2u * range));
}

} // namespace quorrel::imagedecode
