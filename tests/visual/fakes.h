// Doubles of what the visual core calls besides the capture library
// (tests/support/capture_double.h): the presentation operations, which log
// into that double's list and keep what was shown, and the tick's sample
// allocation, which a test can make fail.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "tests/support/capture_double.h"
#include "visual/frame.h"

struct FakePresentation {
  std::vector<uint8_t> window = std::vector<uint8_t>(FrameSize);  // the last frame copied
  bool prompt_shown = false;  // drawn over the window since the last copy
  std::function<void()> on_present;  // runs inside the tick, after the copy
};
extern FakePresentation FakeWindow;

// While set, the array form of nothrow new returns null: the tick's sample
// buffer without memory.
extern bool FailSampleAllocation;

// Back to the state of a freshly started program, doubles included.
void ResetFakes();
