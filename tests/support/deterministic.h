// Seeded inputs and hashes that come out the same on every target, so that
// one expected value serves the native and the 32-bit Windows builds: no C
// library maths, which differs between them in the last bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Expected hashes depend on this exact sequence.
struct Lcg {
  uint32_t state;
  uint32_t Next() { return state = state * 1664525u + 1013904223u; }
  float Unit() { return static_cast<float>(Next() >> 8) / 16777216.0f; }  // [0, 1), exact
  int16_t Sample() { return static_cast<int16_t>(Next() >> 16); }
};

inline uint64_t HashedBits(uint8_t byte) { return byte; }
inline uint64_t HashedBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// FNV-1a's fold, one element at a time: over bytes it is FNV-1a itself.
template <typename Element>
uint64_t Fnv1a(const Element* elements, std::size_t count) {
  uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < count; ++i) hash = (hash ^ HashedBits(elements[i])) * 1099511628211ull;
  return hash;
}
