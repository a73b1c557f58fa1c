// Doubles for what the recording control calls: the capture library's
// control calls and the three Windows calls of report_platform.h. They
// record every call in order; EndProcess throws ProcessEnded instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_library.h"

struct ProcessEnded {
  uint32_t status;
};

struct RecordedCall {
  std::string name;  // "RecordInit", "RecordStart", "ErrorGetCode", "RecordFree",
                     // "Format", "MessageBox", "EndProcess"
  std::vector<int64_t> numbers;
  std::u16string text;
  std::u16string caption;
  void* owner = nullptr;
  CaptureRecordProc proc = nullptr;
  void* user = nullptr;
};

struct RecordingDoubles {
  int32_t init_result = 1;
  uint32_t start_result = 0x10001;
  int32_t error_code = 0;
  std::vector<RecordedCall> calls;

  std::vector<std::string> Names() const;
  const RecordedCall* Find(const std::string& name) const;
};
extern RecordingDoubles Doubles;

void ResetDoubles();
