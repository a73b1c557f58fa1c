// A double of the capture library for the host tests and benchmarks: it
// serves chosen results, bins, samples and level, and logs every call in
// order. The tests' doubles of the presentation and of the Windows calls log
// into the same list, so a test sees one sequence of all that was called.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_library.h"

struct RecordedCall {
  std::string name;  // the function's name, without "BASS_"
  std::vector<int64_t> numbers;  // its integer arguments
  std::u16string text;
  std::u16string caption;
  void* owner = nullptr;
  CaptureRecordProc proc = nullptr;
  void* user = nullptr;
};

struct FakeCaptureLibrary {
  int32_t init_result = 1;
  uint32_t start_result = 0x10001;
  int32_t error_code = 0;
  float bins[1024] = {};
  std::vector<int16_t> samples = std::vector<int16_t>(736);
  uint32_t level = 0;
  // When >= 0, ChannelGetData writes only this many bytes (the rest of the
  // caller's buffer is left as it was).
  int delivered_bytes = -1;
  std::vector<RecordedCall> calls;

  std::vector<std::string> Names() const;
  const RecordedCall* Find(const std::string& name) const;
};
extern FakeCaptureLibrary FakeCapture;

RecordedCall& RecordCall(const char* name, std::vector<int64_t> numbers = {});

// Back to a library that has recorded nothing, and no channel.
void ResetFakeCapture();
