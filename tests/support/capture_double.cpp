#include "tests/support/capture_double.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

FakeCaptureLibrary FakeCapture;

namespace {
// The program calls from its GUI thread and its tick's thread at once.
std::mutex CallsLock;

// A data call's start, held and logged; its end logged however it answers.
struct DataCall {
  const char* end;
  DataCall(const char* name, const char* end, std::vector<int64_t> numbers) : end(end) {
    RecordCall(name, std::move(numbers));
    if (FakeCapture.hold_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(FakeCapture.hold_ms));
  }
  ~DataCall() {
    if (FakeCapture.hold_ms > 0) RecordCall(end);
  }
};

template <typename Result>
Result Answer(Result result) {
  FakeCapture.succeeded = result != 0;
  return result;
}
}  // namespace

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
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  std::lock_guard<std::mutex> lock(CallsLock);
  FakeCapture.calls.emplace_back();
  RecordedCall& call = FakeCapture.calls.back();
  call.name = name;
  call.nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  call.numbers = std::move(numbers);
  return call;
}

extern "C" {

uint32_t CAPTURE_API BASS_GetVersion(void) {
  RecordCall("GetVersion");
  return FakeCapture.forward ? FakeCapture.forward().getVersion() : FakeCapture.version;
}

int32_t CAPTURE_API BASS_RecordInit(int32_t device) {
  RecordCall("RecordInit", {device});
  if (FakeCapture.forward) return FakeCapture.forward().recordInit(device);
  return Answer(FakeCapture.init_result);
}

uint32_t CAPTURE_API BASS_RecordStart(uint32_t frequency, uint32_t channels, uint32_t flags,
                                      CaptureRecordProc proc, void* user) {
  RecordedCall& call = RecordCall("RecordStart", {frequency, channels, flags});
  call.proc = proc;
  call.user = user;
  if (FakeCapture.forward) return FakeCapture.forward().recordStart(frequency, channels, flags, proc, user);
  return Answer(FakeCapture.start_result);
}

uint32_t CAPTURE_API BASS_ChannelGetData(uint32_t handle, void* buffer, uint32_t length) {
  DataCall logged("ChannelGetData", "ChannelGetData-end", {handle, length});
  if (FakeCapture.forward) return FakeCapture.forward().getData(handle, buffer, length);
  const bool fft = length == BASS_DATA_FFT2048;
  const void* source = fft ? static_cast<const void*>(FakeCapture.bins) : FakeCapture.samples.data();
  uint32_t bytes = fft ? sizeof FakeCapture.bins : std::min<uint32_t>(length, FakeCapture.samples.size() * 2);
  if (FakeCapture.delivered_bytes >= 0) bytes = std::min<uint32_t>(bytes, FakeCapture.delivered_bytes);
  std::memcpy(buffer, source, bytes);
  return bytes;
}

uint32_t CAPTURE_API BASS_ChannelGetLevel(uint32_t handle) {
  DataCall logged("ChannelGetLevel", "ChannelGetLevel-end", {handle});
  return FakeCapture.forward ? FakeCapture.forward().getLevel(handle) : FakeCapture.level;
}

int32_t CAPTURE_API BASS_ErrorGetCode(void) {
  RecordCall("ErrorGetCode");
  if (FakeCapture.forward) return FakeCapture.forward().errorGetCode();
  return FakeCapture.succeeded ? 0 : FakeCapture.error_code;
}

int32_t CAPTURE_API BASS_RecordFree(void) {
  RecordCall("RecordFree");
  return FakeCapture.forward ? FakeCapture.forward().recordFree() : 1;
}

}  // extern "C"
