// Test doubles for what the visual core calls: the capture library (serves
// chosen bins, samples and levels, records every call) and the presentation
// operations (record what was shown and which prompt was drawn).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "visual/frame.h"

struct CaptureCall {
  std::string name;  // "GetData" or "GetLevel"
  uint32_t handle;
  uint32_t length;   // GetData's length argument
};

struct FakeCaptureLibrary {
  float bins[1024] = {};
  std::vector<int16_t> samples = std::vector<int16_t>(736);
  uint32_t level = 0;
  // When >= 0, GetData writes only this many bytes (the rest of the caller's
  // buffer is left as it was).
  int deliveredBytes = -1;
  bool throwOnLevel = false;
  std::vector<CaptureCall> calls;
};
extern FakeCaptureLibrary FakeCapture;

struct PresentationEvent {
  std::string kind;  // "present", "prompt" or "end"
  std::u16string text;
};

struct FakePresentation {
  std::vector<PresentationEvent> events;
  std::vector<uint8_t> window = std::vector<uint8_t>(FrameSize);  // the last frame copied
  bool promptShown = false;  // drawn over the window since the last copy
  bool throwOnPresent = false;
  bool throwOnPrompt = false;
  int presentedFrames = 0;
  std::function<void()> onPresent;  // runs inside the tick, after the copy
};
extern FakePresentation FakeWindow;

// Back to the state of a freshly started program, doubles included.
void ResetFakes();
