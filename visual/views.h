// The views, in the order a click steps through them: a view's place here is
// its display mode. The tick draws by these numbers; the tools that watch the
// program from outside (the driver, the latency probe, the soak sampler) take
// the names and the order from here, and the scripts ask the driver for them
// (driver views).
#pragma once

#include <cstdint>

enum : int32_t {
  LinearSpectrumMode = 0,
  BandSpectrumMode = 1,
  SpectrogramMode = 2,
  WaveformMode = 3,
  DisplayModeCount = 4,
};

// One short name a view, as the tools print and take them.
constexpr const char* ViewNames[] = {"linear", "band", "spectrogram", "waveform"};
static_assert(sizeof ViewNames / sizeof ViewNames[0] == DisplayModeCount, "a name for every view");
