#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "capture/capture_library.h"
#include "capturelib/fft.h"
#include "capturelib/recorder.h"
#include "tests/support/synthetic_device.h"
#include "tests/support/capture_checks.h"
#include "tests/support/deterministic.h"
#include "tests/support/polling.h"

namespace {

constexpr size_t N = SpectrumSamples;

std::vector<float> Noise() {
  std::vector<float> input(N);
  Lcg random{1};
  for (float& value : input) value = static_cast<float>(static_cast<int32_t>(random.Next()) / 2147483648.0);
  return input;
}

std::vector<int16_t> NoiseSamples() {
  std::vector<int16_t> samples;
  for (float value : Noise()) samples.push_back(static_cast<int16_t>(value * 32767));
  return samples;
}

// The whole path from 16-bit samples to 1024 magnitudes, both ways.
void FftwSpectrumPath(benchmark::State& state) {
  float* input = fftwf_alloc_real(N);
  fftwf_complex* output = fftwf_alloc_complex(N / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(N, input, output, FFTW_MEASURE);
  const std::vector<int16_t> samples = NoiseSamples();
  std::vector<float> window(N), magnitudes(N / 2);
  for (size_t n = 0; n < N; ++n) window[n] = HannWindow(n) / 32768.0f;
  for (auto _ : state) {
    for (size_t n = 0; n < N; ++n) input[n] = samples[n] * window[n];
    fftwf_execute(plan);
    for (size_t k = 0; k < N / 2; ++k) {
      magnitudes[k] = std::sqrt(output[k][0] * output[k][0] + output[k][1] * output[k][1]) * (2.0f / N);
    }
    benchmark::DoNotOptimize(magnitudes.data());
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(input);
  fftwf_free(output);
}
BENCHMARK(FftwSpectrumPath);

void OurSpectrumPath(benchmark::State& state) {
  const std::vector<int16_t> samples = NoiseSamples();
  std::vector<float> magnitudes(N / 2);
  for (auto _ : state) {
    HannSpectrum(samples.data(), magnitudes.data());
    benchmark::DoNotOptimize(magnitudes.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(OurSpectrumPath);

// One request through the exported calls, as the display timer makes it,
// while the synthetic device records.
class Recording {
 public:
  Recording() {
    device_.SetSignal(SyntheticSignal::Sine(1000, 16384));
    SetRecordingBackendFactory([this] { return device_.CreateBackend(); });
    BASS_RecordInit(DefaultInputDevice);
    handle_ = BASS_RecordStart(44100, 1, 0, nullptr, nullptr);
    Eventually([this] { return LowLevel(handle_) != 0; }, std::chrono::seconds(2));
  }
  ~Recording() {
    BASS_RecordFree();
    SetRecordingBackendFactory(nullptr);
  }
  uint32_t Handle() const { return handle_; }

 private:
  SyntheticDevice device_;
  uint32_t handle_ = 0;
};

void FftRequest(benchmark::State& state) {
  Recording recording;
  float bins[1024];
  for (auto _ : state) {
    benchmark::DoNotOptimize(BASS_ChannelGetData(recording.Handle(), bins, BASS_DATA_FFT2048));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(FftRequest);

void SampleRequest(benchmark::State& state) {
  Recording recording;
  int16_t samples[736];
  for (auto _ : state) {
    benchmark::DoNotOptimize(BASS_ChannelGetData(recording.Handle(), samples, sizeof samples));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(SampleRequest);

void LevelRequest(benchmark::State& state) {
  Recording recording;
  for (auto _ : state) benchmark::DoNotOptimize(BASS_ChannelGetLevel(recording.Handle()));
}
BENCHMARK(LevelRequest);

}  // namespace
