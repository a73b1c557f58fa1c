#include "capturelib/turn_trig.h"

#include <cassert>

namespace {

constexpr double HalfPi = 1.5707963267948966;

// Taylor series for |x| <= pi/4: the first omitted term is below 1e-20.
CosSin SmallAngleCosSin(double x) {
  const double x2 = x * x;
  double cos_sum = 0.0;
  double sin_sum = 0.0;
  for (int term = 11; term >= 1; --term) {
    // cos: 1 - x2/(1*2) (1 - x2/(3*4) (...)); sin alike with (2*3), (4*5), ...
    const double cos_factor = x2 / ((2.0 * term - 1.0) * (2.0 * term));
    const double sin_factor = x2 / ((2.0 * term) * (2.0 * term + 1.0));
    cos_sum = cos_factor * (1.0 - cos_sum);
    sin_sum = sin_factor * (1.0 - sin_sum);
  }
  return {1.0 - cos_sum, x * (1.0 - sin_sum)};
}

}  // namespace

CosSin TurnCosSin(uint32_t k, uint32_t n) {
  assert(n > 0 && "a turn needs a non-zero number of steps");
  const uint64_t quarter_steps = 4ull * (k % n);
  const uint32_t quadrant = static_cast<uint32_t>(quarter_steps / n);
  const uint64_t rest = quarter_steps % n;  // angle within the quadrant: rest/n quarter turns
  // Beyond half a quadrant, work from the other end so the series stays short.
  const bool mirrored = 2 * rest > n;
  const uint64_t steps = mirrored ? n - rest : rest;
  const CosSin small = SmallAngleCosSin(HalfPi * (static_cast<double>(steps) / n));
  const CosSin within = mirrored ? CosSin{small.sin, small.cos} : small;
  switch (quadrant) {
    case 0: return {within.cos, within.sin};
    case 1: return {-within.sin, within.cos};
    case 2: return {-within.cos, -within.sin};
    default: return {within.sin, -within.cos};
  }
}
