#pragma once

// How 16-bit samples (TIFF, DICOM) become the bytes that the view and the
// measurement see, the same for the window and the command. Over a
// picture's colour samples (alpha aside), low and high are the values at the
// ascending ranks k and n - 1 - k with k = trunc(0.005 (n - 1)): the 0.5 % and
// 99.5 % points, so that a few hot or dead pixels do not flatten the
// contrast. A value at or below low gives 0, one at or above high 255, one
// between round(255 (value - low) / (high - low)); when low equals high every
// sample at low gives 0 and every other 255.

#include <cstdint>
#include <vector>

namespace quorrel::imagedecode {

class SampleWindow {
public:
    // Signed samples are shifted by 32768 first so that their order is kept.
    void add(std::uint16_t sample)
    {
        ++m_histogram[sample];
        ++m_count;
    }
    // Fixes low and high from the samples added; no samples give 0 and 0.
    void finish();
    std::uint8_t byte(std::uint16_t sample) const;

    std::uint16_t low() const { return m_low; }
    std::uint16_t high() const { return m_high; }

private:
    std::vector<std::uint64_t> m_histogram = std::vector<std::uint64_t>(65536, 0);
    std::uint64_t m_count = 0;
    std::uint16_t m_low = 0;
    std::uint16_t m_high = 0;
};

} // namespace quorrel::imagedecode
