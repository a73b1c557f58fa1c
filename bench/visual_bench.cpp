// Each renderer's worst-case frame and a whole tick per view, measured beside
// the frame's plain memset and ClearFrame in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "tests/visual/fakes.h"
#include "visual/frame.h"
#include "visual/renderers.h"
#include "visual/sharp_scale.h"
#include "visual/tick.h"

namespace {

std::vector<uint8_t> Frame(FrameSize);

// Every bin at full scale, samples alternating between the extremes.
void UseWorstCase() {
  FrameBits = Frame.data();
  for (float& bin : FakeCapture.bins) bin = 1.0f;
  for (int x = 0; x < WaveformSampleCount; ++x) FakeCapture.samples[x] = x % 2 ? -32768 : 32767;
}

void Memset(benchmark::State& state) {
  UseWorstCase();
  for (auto _ : state) {
    std::memset(Frame.data(), 0, FrameSize);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(Memset);

void Clear(benchmark::State& state) {
  UseWorstCase();
  for (auto _ : state) {
    ClearFrame();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(Clear);

void LinearSpectrum(benchmark::State& state) {
  UseWorstCase();
  for (auto _ : state) {
    DrawLinearSpectrum(FakeCapture.bins);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(LinearSpectrum);

void BandSpectrum(benchmark::State& state) {
  UseWorstCase();
  for (auto _ : state) {
    DrawBandSpectrum(FakeCapture.bins);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BandSpectrum);

void Spectrogram(benchmark::State& state) {
  UseWorstCase();
  for (auto _ : state) {
    DrawSpectrogram(FakeCapture.bins);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(Spectrogram);

// The renderer alone; FullTick/mode:3 adds the tick's clear before it.
void Waveform(benchmark::State& state) {
  UseWorstCase();
  ClearFrame();
  for (auto _ : state) {
    DrawWaveform(FakeCapture.samples.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(Waveform);

// A whole tick with the fake library and a presentation that copies the frame
// (as the window's copy does).
void FullTick(benchmark::State& state) {
  UseWorstCase();
  DisplayMode = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    FakeCapture.calls.clear();
    RenderTick(0, 0, 0, 0, 0);
    benchmark::ClobberMemory();
  }
  DisplayMode = 0;
}
BENCHMARK(FullTick)->ArgName("mode")->DenseRange(0, DisplayModeCount - 1);

// The copy's sharp scaling between 100 and 200 %, of a checkerboard (every
// frame pixel's neighbours of the other colour: all edges mix) and of
// silence (row 0 lit alone).
void SharpScale(benchmark::State& state) {
  UseWorstCase();
  const int dpi = static_cast<int>(state.range(0));
  const int width = (FrameWidth * dpi + 48) / 96, height = (FrameHeight * dpi + 48) / 96;
  std::vector<uint32_t> window(std::size_t(width) * height);
  FillPalette();
  ClearFrame();
  for (std::size_t i = 0; i < FrameSize; ++i) {
    const std::size_t row = i / FrameWidth, column = i % FrameWidth;
    Frame[i] = state.range(1) ? (row + column) % 2 : row == 0;
  }
  for (auto _ : state) {
    ScaleFrameSharp(Frame.data(), FramePalette, window.data(), width, height);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(SharpScale)->ArgNames({"dpi", "checkerboard"})->ArgsProduct({{120, 144, 168}, {0, 1}});

}  // namespace
