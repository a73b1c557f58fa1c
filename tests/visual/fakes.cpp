#include "tests/visual/fakes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "capture/capture_library.h"
#include "visual/presentation.h"

FakeCaptureLibrary FakeCapture;
FakePresentation FakeWindow;

void ResetFakes() {
  FakeCapture = FakeCaptureLibrary();
  FakeWindow = FakePresentation();
}

extern "C" {

uint32_t CAPTURE_API BASS_ChannelGetData(uint32_t handle, void* buffer, uint32_t length) {
  FakeCapture.calls.push_back({"GetData", handle, length});
  const bool fft = length == BASS_DATA_FFT2048;
  const void* source = fft ? static_cast<const void*>(FakeCapture.bins) : FakeCapture.samples.data();
  uint32_t bytes = fft ? sizeof FakeCapture.bins : std::min<uint32_t>(length, FakeCapture.samples.size() * 2);
  if (FakeCapture.deliveredBytes >= 0) bytes = std::min<uint32_t>(bytes, FakeCapture.deliveredBytes);
  std::memcpy(buffer, source, bytes);
  return bytes;
}

uint32_t CAPTURE_API BASS_ChannelGetLevel(uint32_t handle) {
  FakeCapture.calls.push_back({"GetLevel", handle, 0});
  if (FakeCapture.throwOnLevel) throw std::runtime_error("level request failed");
  return FakeCapture.level;
}

}  // extern "C"

void PresentFrame() {
  FakeWindow.events.push_back({"present", {}});
  if (FakeWindow.throwOnPresent) throw std::runtime_error("no drawing context");
  std::memcpy(FakeWindow.window.data(), FrameBits, FrameSize);
  FakeWindow.promptShown = false;
  ++FakeWindow.presentedFrames;
  if (FakeWindow.onPresent) FakeWindow.onPresent();
}

void DrawQuietPrompt(const char16_t* text) {
  FakeWindow.events.push_back({"prompt", text});
  if (FakeWindow.throwOnPrompt) throw std::runtime_error("text drawing failed");
  FakeWindow.promptShown = true;
}

void EndPresent() { FakeWindow.events.push_back({"end", {}}); }
