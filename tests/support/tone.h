// The sine that tests record and transform: amplitude * sin(2 pi frequency n /
// rate + phase) + offset, rounded and clamped to 16 bits. The cycles are
// reduced first, so long recordings keep their precision.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

struct Tone {
  double frequency, amplitude, phase = 0.0, offset = 0.0;

  int16_t Sample(uint64_t n, uint32_t rate) const {
    const double cycles = std::fmod(static_cast<double>(n) * frequency, rate);
    const double value = amplitude * std::sin(2.0 * 3.14159265358979323846 * cycles / rate + phase) + offset;
    return static_cast<int16_t>(std::lround(std::clamp(value, -32768.0, 32767.0)));
  }
  std::vector<int16_t> Samples(size_t count, uint32_t rate) const {
    std::vector<int16_t> samples(count);
    for (size_t n = 0; n < count; ++n) samples[n] = Sample(n, rate);
    return samples;
  }
};
