// HannSpectrum: the spectrum the FFT request serves, as contract.h states it,
// from 2048 samples, oldest first; silence reads exactly 0.
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
