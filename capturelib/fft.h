// The spectrum the FFT request serves.
//
// HannSpectrum: 2048 samples (oldest first), a periodic Hann window (sum
// 1024), a real FFT, and 1024 magnitudes |X[k]| * 2/2048 of the samples
// scaled to -1..1: a full-scale sine centred on bin k reads 0.5 there and
// 0.25 in both neighbours; silence reads exactly 0. Bin 0 is DC.
//
// It works on caller-owned memory only: no allocation, no lock, safe on any
// number of threads at once. Results are bit-identical on every target with
// IEEE single precision in SSE (or equivalent) registers.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t SpectrumSamples = 2048;
constexpr size_t SpectrumBins = SpectrumSamples / 2;

void HannSpectrum(const int16_t* samples, float* magnitudes);

// The periodic Hann window the spectrum uses, w[n] = 0.5 - 0.5 cos(2 pi n/2048).
float HannWindow(size_t n);
