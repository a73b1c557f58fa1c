// Recorder timings for tests: shortened so loss and return take a fraction
// of a second; the ratios between them are those of the real timings.
#pragma once

#include <chrono>

#include "capturelib/recorder.h"

inline RecorderTiming FastTiming() {
  RecorderTiming timing;
  timing.silence_after = std::chrono::milliseconds(60);
  timing.stall_after = std::chrono::milliseconds(240);
  timing.first_block_allowance = std::chrono::milliseconds(1500);
  timing.first_block_allowance_limit = std::chrono::milliseconds(6000);
  timing.reopen_interval = std::chrono::milliseconds(100);
  timing.start_retries_for = std::chrono::milliseconds(300);
  timing.wait_slice = std::chrono::milliseconds(10);
  return timing;
}
