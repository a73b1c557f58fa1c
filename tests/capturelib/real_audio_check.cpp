// Records the default input through bass.dll under Wine, while the session's
// audio server plays a tone into the sink whose monitor is that input.
// Run by real_audio.sh; one scenario per run, exit status 0 when it holds.
//
//   tone FREQ         the tone is seen in the spectrum, level and samples,
//                     and the recorded stream has no gaps
//   no-device         init fails with CaptureNoDevice
//   loss              prints "recording", waits for silence (the script
//                     takes the input away), prints "silent", waits for the
//                     tone again (the script brings it back), prints "resumed"
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/capture_library.h"
#include "capturelib/contract.h"
#include "tests/support/capture_checks.h"
#include "tests/support/polling.h"

namespace {

using std::chrono::seconds;

constexpr uint32_t Frequency = 44100;
constexpr double TonePeak = 16384.0;  // sox ... vol 0.5
constexpr uint32_t WaveformSamples = 736;

// Everything the callback records, for the gap check.
constexpr size_t StreamCapacity = Frequency * 30;
std::vector<int16_t> Stream(StreamCapacity);
std::atomic<size_t> StreamLength{0};
std::atomic<int64_t> LastBlockTicks{0};

int64_t Now() {
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  return ticks.QuadPart;
}

double Milliseconds(int64_t ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

int32_t CAPTURE_API RecordBlock(uint32_t, const void* buffer, uint32_t length, void*) {
  const size_t count = length / sizeof(int16_t);
  const size_t start = StreamLength.load(std::memory_order_relaxed);
  const size_t kept = std::min(count, StreamCapacity - start);
  std::memcpy(Stream.data() + start, buffer, kept * sizeof(int16_t));
  StreamLength.store(start + kept, std::memory_order_release);
  LastBlockTicks.store(Now(), std::memory_order_release);
  return 1;
}

bool Fail(const char* what) {
  std::printf("FAILED: %s (error code %d)\n", what, BASS_ErrorGetCode());
  std::fflush(stdout);
  return false;
}

void Say(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

bool LooksLikeTone(const int16_t* samples, size_t count, double frequency) {
  int peak = 0;
  for (size_t n = 0; n < count; ++n) peak = std::max(peak, std::abs(static_cast<int>(samples[n])));
  const double residual = WorstRecurrence(samples, count, frequency, Frequency);
  std::printf("samples: peak %d, worst recurrence residual %.1f\n", peak, residual);
  return std::fabs(peak - TonePeak) <= 0.1 * TonePeak && residual <= 16.0;
}

bool CheckTone(uint32_t handle, double frequency) {
  // The first block takes 0.75-2 s under Wine's audio server.
  if (!Eventually([&] { return IsAudible(handle); }, seconds(5))) return Fail("no tone recorded");
  // Let the stream run clear of the tone's abrupt start.
  const size_t settled = StreamLength.load(std::memory_order_acquire) + Frequency / 10;
  if (!Eventually([&] { return StreamLength.load(std::memory_order_acquire) >= settled + Frequency; },
                  seconds(3))) {
    return Fail("recording stopped");
  }

  float bins[1024];
  if (BASS_ChannelGetData(handle, bins, BASS_DATA_FFT2048) != 4096) return Fail("FFT request");
  const size_t peak_bin = std::max_element(bins + 1, bins + 1024) - bins;
  const size_t expected_bin = static_cast<size_t>(frequency * 2048 / Frequency);
  std::printf("FFT peak at bin %zu (%.4f)\n", peak_bin, bins[peak_bin]);
  if (peak_bin != expected_bin && peak_bin != expected_bin + 1) return Fail("FFT peak in the wrong bin");

  const uint32_t level = LowLevel(handle);
  std::printf("level %u\n", level);
  if (std::fabs(level - TonePeak) > 0.1 * TonePeak) return Fail("level is not the tone's peak");

  int16_t samples[WaveformSamples];
  if (BASS_ChannelGetData(handle, samples, sizeof samples) != sizeof samples) return Fail("sample request");
  if (!LooksLikeTone(samples, WaveformSamples, frequency)) return Fail("samples do not look like the tone");

  // The age of the newest block at a request, 40 times a second for 2 s.
  std::vector<double> ages;
  for (int tick = 0; tick < 80; ++tick) {
    BASS_ChannelGetData(handle, bins, BASS_DATA_FFT2048);
    ages.push_back(Milliseconds(Now() - LastBlockTicks.load(std::memory_order_acquire)));
    Sleep(25);
  }
  std::sort(ages.begin(), ages.end());
  std::printf("newest block's age at a request: median %.1f ms, p95 %.1f ms, max %.1f ms\n",
              ages[ages.size() / 2], ages[ages.size() * 95 / 100], ages.back());

  const size_t end = StreamLength.load(std::memory_order_acquire);
  const double residual = WorstRecurrence(Stream.data() + settled, end - settled, frequency, Frequency);
  std::printf("stream: %zu samples checked, worst recurrence residual %.1f\n", end - settled, residual);
  if (residual > 16.0) return Fail("the recorded stream has gaps");
  return true;
}

bool CheckLoss(uint32_t handle) {
  if (!Eventually([&] { return IsAudible(handle); }, seconds(5))) return Fail("no tone recorded");
  Say("recording");
  if (!Eventually([&] { return IsSilent(handle); }, seconds(10))) return Fail("no silence after the input went away");
  Say("silent");
  const int64_t back = Now();
  if (!Eventually([&] { return IsAudible(handle); }, seconds(20))) return Fail("recording did not resume");
  std::printf("tone back %.1f s after the silence was seen\n", Milliseconds(Now() - back) / 1000.0);
  Say("resumed");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scenario = argc > 1 ? argv[1] : "";
  if ((BASS_GetVersion() >> 16) != 0x0204) return Fail("version"), 1;

  if (scenario == "no-device") {
    if (BASS_RecordInit(DefaultInputDevice) != 0) return Fail("init succeeded without a device"), 1;
    if (BASS_ErrorGetCode() != CaptureNoDevice) return Fail("init failed with another code"), 1;
    Say("init failed with the no-device code");
    return 0;
  }

  if (!BASS_RecordInit(DefaultInputDevice)) return Fail("init"), 1;
  const uint32_t handle = BASS_RecordStart(Frequency, 1, 0, RecordBlock, nullptr);
  if (handle == 0) return Fail("start"), 1;

  bool held = false;
  if (scenario == "tone" && argc > 2) held = CheckTone(handle, std::atof(argv[2]));
  else if (scenario == "loss") held = CheckLoss(handle);
  else std::printf("unknown scenario '%s'\n", scenario.c_str());

  const int64_t free_start = Now();
  if (!BASS_RecordFree()) return Fail("free"), 1;
  std::printf("BASS_RecordFree took %.1f ms\n", Milliseconds(Now() - free_start));
  if (BASS_ChannelGetLevel(handle) != CaptureFailure || BASS_ErrorGetCode() != CaptureBadHandle) {
    return Fail("old handle still answers"), 1;
  }
  return held ? 0 : 1;
}
