#include "tests/support/capture_double.h"

#include <algorithm>
#include <cstring>

FakeCaptureLibrary FakeCapture;

void ResetFakeCapture() {
  FakeCapture = FakeCaptureLibrary();
  CaptureChannel = 0;
}

std::vector<std::string> FakeCaptureLibrary::Names() const {
  std::vector<std::string> names;
  for (const RecordedCall& call : calls) names.push_back(call.name);
  return names;
}

const RecordedCall* FakeCaptureLibrary::Find(const std::string& name) const {
  for (const RecordedCall& call : calls) {
    if (call.name == name) return &call;
  }
  return nullptr;
}

RecordedCall& RecordCall(const char* name, std::vector<int64_t> numbers) {
  FakeCapture.calls.emplace_back();
  FakeCapture.calls.back().name = name;
  FakeCapture.calls.back().numbers = std::move(numbers);
  return FakeCapture.calls.back();
}

extern "C" {

int32_t CAPTURE_API BASS_RecordInit(int32_t device) {
  RecordCall("RecordInit", {device});
  return FakeCapture.init_result;
}

uint32_t CAPTURE_API BASS_RecordStart(uint32_t frequency, uint32_t channels, uint32_t flags,
                                      CaptureRecordProc proc, void* user) {
  RecordedCall& call = RecordCall("RecordStart", {frequency, channels, flags});
  call.proc = proc;
  call.user = user;
  return FakeCapture.start_result;
}

uint32_t CAPTURE_API BASS_ChannelGetData(uint32_t handle, void* buffer, uint32_t length) {
  RecordCall("ChannelGetData", {handle, length});
  const bool fft = length == BASS_DATA_FFT2048;
  const void* source = fft ? static_cast<const void*>(FakeCapture.bins) : FakeCapture.samples.data();
  uint32_t bytes = fft ? sizeof FakeCapture.bins : std::min<uint32_t>(length, FakeCapture.samples.size() * 2);
  if (FakeCapture.delivered_bytes >= 0) bytes = std::min<uint32_t>(bytes, FakeCapture.delivered_bytes);
  std::memcpy(buffer, source, bytes);
  return bytes;
}

uint32_t CAPTURE_API BASS_ChannelGetLevel(uint32_t handle) {
  RecordCall("ChannelGetLevel", {handle});
  return FakeCapture.level;
}

int32_t CAPTURE_API BASS_ErrorGetCode(void) {
  RecordCall("ErrorGetCode");
  return FakeCapture.error_code;
}

int32_t CAPTURE_API BASS_RecordFree(void) {
  RecordCall("RecordFree");
  return 1;
}

}  // extern "C"
