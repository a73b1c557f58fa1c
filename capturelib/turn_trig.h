// Cosine and sine of a fraction of a turn, from our own series rather than
// the C library: glibc and the Windows runtime differ in the last bit on a
// few table entries, and the FFT tables must be identical on every target.
#pragma once

#include <cstdint>

struct CosSin {
  double cos;
  double sin;
};

// cos and sin of 2*pi*k/n, exact to about 1e-16.
CosSin TurnCosSin(uint32_t k, uint32_t n);
