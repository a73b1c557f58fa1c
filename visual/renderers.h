// The renderers of the views (visual/views.h). Each writes palette indices
// straight into FrameBits, which must point at a whole frame. Magnitudes come
// from outside the program: NaN and negative values draw as silence, infinity
// and huge values as full scale.
#pragma once

#include <cstdint>

constexpr int FftBinCount = 1024;         // floats delivered by the FFT request
constexpr int WaveformSampleCount = 736;  // one sample per column

// Mode 0: bins 1..368 as bars on the even columns, their averages between.
void DrawLinearSpectrum(const float* bins);

// Mode 1: 28 bars over logarithmically widening groups of bins 1..1023.
constexpr int BandCount = 28;
void DrawBandSpectrum(const float* bins);
// The last bin of band x (0..27); band x covers BandLastBin(x - 1) + 1 .. BandLastBin(x).
int BandLastBin(int band);

// Mode 2: one column of bins 1..255 at ScrollColumn, then moves ScrollColumn
// one to the right and marks that column. Never clears the frame.
void DrawSpectrogram(const float* bins);

// Mode 3: 736 samples joined into a trace; the frame must already be clear.
void DrawWaveform(const int16_t* samples);
