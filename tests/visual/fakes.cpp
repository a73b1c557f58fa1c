#include "tests/visual/fakes.h"

#include <cstring>
#include <new>

#include "visual/presentation.h"

FakePresentation FakeWindow;
bool FailSampleAllocation = false;

void ResetFakes() {
  ResetFakeCapture();
  FakeWindow = FakePresentation();
  FailSampleAllocation = false;
}

void PresentFrame() {
  RecordCall("PresentFrame");
  std::memcpy(FakeWindow.window.data(), FrameBits, FrameSize);
  FakeWindow.prompt_shown = false;
  if (FakeWindow.on_present) FakeWindow.on_present();
}

void DrawQuietPrompt(const char16_t* text) {
  RecordCall("DrawQuietPrompt").text = text;
  FakeWindow.prompt_shown = true;
}

void EndPresent() { RecordCall("EndPresent"); }

// In the visual core only the tick's sample buffer is allocated this way.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return FailSampleAllocation ? nullptr : ::operator new[](size);
}
