// The one double of the capture library: linked into the host tests and
// benchmarks, and built as a bass.dll of its own (tools/capture_double.cpp,
// which sets it up from the environment) to put beside a copy of the program.
// It serves chosen results, bins, samples and level, and logs every call in
// order with its time. The tests' doubles of the presentation and of the
// Windows calls log into the same list, so a test sees one sequence of all
// that was called.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_library.h"

struct RecordedCall {
  std::string name;  // the function's name, without "BASS_"
  int64_t nanoseconds = 0;  // on the steady clock
  std::vector<int64_t> numbers;  // its integer arguments
  std::u16string text;
  std::u16string caption;
  void* owner = nullptr;
  CaptureRecordProc proc = nullptr;
  void* user = nullptr;
};

// The real library's calls, for a double that passes every call on.
struct CaptureCalls {
  decltype(&BASS_GetVersion) getVersion;
  decltype(&BASS_RecordInit) recordInit;
  decltype(&BASS_RecordStart) recordStart;
  decltype(&BASS_ChannelGetData) getData;
  decltype(&BASS_ChannelGetLevel) getLevel;
  decltype(&BASS_ErrorGetCode) errorGetCode;
  decltype(&BASS_RecordFree) recordFree;
};

struct FakeCaptureLibrary {
  uint32_t version = 0x02040000;
  int32_t init_result = 1;        // 0: init fails
  uint32_t start_result = 0x10001;  // 0: start fails
  // What BASS_ErrorGetCode reports until a call succeeds, and again after a
  // call fails; after a success it reports 0, as the library promises.
  int32_t error_code = 0;
  bool succeeded = false;  // the last init or start succeeded
  float bins[1024] = {};
  std::vector<int16_t> samples = std::vector<int16_t>(736);
  uint32_t level = 0;
  // When >= 0, ChannelGetData writes only this many bytes (the rest of the
  // caller's buffer is left as it was).
  int delivered_bytes = -1;
  // Each data call (ChannelGetData, ChannelGetLevel) waits this long before
  // it answers, and logs "NAME-end" when it returns: a tick is then most
  // likely inside one when the window is torn down.
  int hold_ms = 0;
  // When set, every call is answered by the library it returns instead.
  const CaptureCalls& (*forward)() = nullptr;
  std::vector<RecordedCall> calls;

  std::vector<std::string> Names() const;
  const RecordedCall* Find(const std::string& name) const;
};
extern FakeCaptureLibrary FakeCapture;

// Logs a call; safe from several threads at once.
RecordedCall& RecordCall(const char* name, std::vector<int64_t> numbers = {});

// Back to a library that has recorded nothing, and no channel.
void ResetFakeCapture();
