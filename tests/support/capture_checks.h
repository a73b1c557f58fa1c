// What several tests read back through the exported calls. No test framework
// here: real_audio_check (a plain Windows program) and the fuzzer use it too.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "capture/capture_library.h"

// The (mono) input's level: the low 16 bits.
inline uint32_t LowLevel(uint32_t handle) { return BASS_ChannelGetLevel(handle) & 0xFFFF; }
// Loud enough that the program counts it as sound (its quiet prompt waits
// for a level below 1000).
inline bool IsAudible(uint32_t handle) { return LowLevel(handle) >= 1000; }

// Silence in every form the program asks for, each exactly 0: the spectrum,
// the newest 2,048 samples (all the spectrum is made of) and the level.
inline bool IsSilent(uint32_t handle) {
  float bins[1024];
  int16_t samples[2048];
  if (BASS_ChannelGetData(handle, bins, BASS_DATA_FFT2048) != sizeof bins) return false;
  if (BASS_ChannelGetData(handle, samples, sizeof samples) != sizeof samples) return false;
  return BASS_ChannelGetLevel(handle) == 0 && std::all_of(bins, bins + 1024, [](float bin) { return bin == 0.0f; }) &&
         std::all_of(samples, samples + 2048, [](int16_t sample) { return sample == 0; });
}

// Largest |x[n+1] - 2 cos(w) x[n] + x[n-1]|: within a few LSB for an unbroken
// rounded sine, far more where samples are missing, repeated or torn.
inline double WorstRecurrence(const int16_t* samples, size_t count, double frequency, double rate) {
  const double two_cos = 2.0 * std::cos(2.0 * 3.14159265358979323846 * frequency / rate);
  double worst = 0.0;
  for (size_t n = 1; n + 1 < count; ++n) {
    worst = std::max(worst, std::fabs(samples[n + 1] - two_cos * samples[n] + samples[n - 1]));
  }
  return worst;
}
