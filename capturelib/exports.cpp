// The library's exported calls: the callers' arguments checked, the calling
// thread's last error kept, the requests for data and level answered from
// the recorder's ring. Recording itself is the recorder's (recorder.h).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "capture/capture_library.h"
#include "capturelib/contract.h"
#include "capturelib/fft.h"
#include "capturelib/recorder.h"

namespace {

constexpr uint32_t LevelWindowsPerSecond = 50;  // the level covers the newest 20 ms
constexpr size_t MaxLevelSamples = HighestFrequency / LevelWindowsPerSecond;

thread_local int32_t LastError = CaptureOk;

// Every call ends here: error becomes the calling thread's last, and the
// call returns returned.
template <typename Result>
Result Outcome(CaptureError error, Result returned) {
  LastError = error;
  return returned;
}

// The largest absolute sample, 0..32768.
uint32_t PeakOf(const int16_t* samples, size_t count) {
  int32_t peak = 0;
  for (size_t i = 0; i < count; ++i) peak = std::max(peak, std::abs(int32_t{samples[i]}));
  return static_cast<uint32_t>(peak);
}

}  // namespace

extern "C" {

uint32_t CAPTURE_API BASS_GetVersion(void) { return Outcome(CaptureOk, CaptureVersion); }

int32_t CAPTURE_API BASS_RecordInit(int32_t device) {
  if (InsideRecordProc()) return Outcome(CaptureAlreadyInitialised, 0);
  if (device != DefaultInputDevice) return Outcome(CaptureBadArgument, 0);
  const CaptureError result = InitRecording();
  return Outcome<int32_t>(result, result == CaptureOk);
}

uint32_t CAPTURE_API BASS_RecordStart(uint32_t frequency, uint32_t channels, uint32_t flags,
                                      CaptureRecordProc proc, void* user) {
  if (InsideRecordProc()) return Outcome(CaptureDeviceBusy, 0u);
  uint32_t handle = 0;
  const CaptureError result = StartRecording(frequency, channels, flags, proc, user, handle);
  return Outcome(result, result == CaptureOk ? handle : 0u);
}

uint32_t CAPTURE_API BASS_ChannelGetData(uint32_t handle, void* buffer, uint32_t length) {
  if (!IsCurrentRecording(handle)) return Outcome(CaptureBadHandle, CaptureFailure);
  if (buffer == nullptr) return Outcome(CaptureBadArgument, CaptureFailure);
  if (length == BASS_DATA_FFT2048) {
    int16_t samples[SpectrumSamples];
    float magnitudes[SpectrumBins];
    ReadNewestSamples(samples, SpectrumSamples);
    HannSpectrum(samples, magnitudes);
    std::memcpy(buffer, magnitudes, sizeof magnitudes);
    return Outcome<uint32_t>(CaptureOk, sizeof magnitudes);
  }
  if (length >= CapturePlainLengthLimit) return Outcome(CaptureBadArgument, CaptureFailure);
  const uint32_t count = length / sizeof(int16_t);
  ReadNewestSamples(buffer, count);
  return Outcome<uint32_t>(CaptureOk, count * sizeof(int16_t));
}

uint32_t CAPTURE_API BASS_ChannelGetLevel(uint32_t handle) {
  if (!IsCurrentRecording(handle)) return Outcome(CaptureBadHandle, CaptureFailure);
  int16_t samples[MaxLevelSamples];
  const size_t count = std::min<size_t>(RecordingFrequency() / LevelWindowsPerSecond, MaxLevelSamples);
  ReadNewestSamples(samples, count);
  const uint32_t peak = PeakOf(samples, count);
  return Outcome(CaptureOk, peak | (peak << 16));
}

int32_t CAPTURE_API BASS_ErrorGetCode(void) { return LastError; }

int32_t CAPTURE_API BASS_RecordFree(void) {
  if (InsideRecordProc()) return Outcome(CaptureFreeInsideCallback, 0);
  const CaptureError result = FreeRecording();
  return Outcome<int32_t>(result, result == CaptureOk);
}

}  // extern "C"
