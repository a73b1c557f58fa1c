// The tick runs on the timer's thread while the GUI thread changes the view
// and, at the end, closes the gate. Run it under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/visual/frame_fixture.h"
#include "visual/renderers.h"
#include "visual/tick.h"

namespace {

using TickThreads = FrameTest;

// What a whole frame of each view looks like with every bin at full scale and
// the samples alternating between the extremes. A tick that drew over a
// freshly cleared frame, or a clear that landed mid-tick, shows up as a frame
// that matches none of these.
bool PresentedFrameIsWhole(int32_t mode) {
  auto pixel = [](int column, int row) { return FrameBits[row * FrameWidth + column]; };
  switch (mode) {
    case LinearSpectrumMode:
      return pixel(0, 254) == 255 && pixel(733, 254) == 255 && pixel(735, 0) == 0;
    case BandSpectrumMode:
      return pixel(0, 254) == 255 && pixel(23, 0) == 0 && pixel(724, 254) == 255 && pixel(725, 0) == 0;
    case SpectrogramMode: {
      // Full-intensity columns from the left edge up to the marker; after it
      // black, or, once the picture has wrapped, full intensity again.
      const int marker = ScrollColumn;
      const uint8_t rest = marker + 1 < FrameWidth ? pixel(marker + 1, 0) : 0;
      for (int column = 0; column < FrameWidth; ++column) {
        const uint8_t expected = column <= marker ? 255 : rest;
        if (pixel(column, 0) != expected || pixel(column, 254) != expected) return false;
      }
      return rest == 0 || rest == 255;
    }
    case WaveformMode:
      return pixel(0, 0) == 255 && pixel(1, 254) == 255 && pixel(2, 0) == 255 && pixel(0, 254) == 0;
  }
  return false;
}

TEST_F(TickThreads, ModeChangesNeverMeetAHalfDrawnFrameAndTheGateStopsTicks) {
  for (float& bin : FakeCapture.bins) bin = 1.0f;
  for (int x = 0; x < WaveformSampleCount; ++x) FakeCapture.samples[x] = x % 2 ? -32768 : 32767;
  int brokenFrames = 0;
  int ticksAfterGate = 0;
  FakeWindow.on_present = [&] {
    if (TickGateClosed) ++ticksAfterGate;
    if (!PresentedFrameIsWhole(DisplayMode)) ++brokenFrames;
  };
  ClearFrame();

  std::atomic<bool> gateClosed{false};
  std::thread timer([&] {
    // Keep ticking after the gate closes: those ticks must do nothing.
    for (int extra = 0; extra < 200;) {
      RenderTick(0, 0, 0, 0, 0);
      if (gateClosed.load()) ++extra;
    }
  });

  constexpr int ModeChanges = 4000;
  std::size_t callsAtGate = 0;
  std::thread gui([&] {
    for (int change = 0; change < ModeChanges; ++change) NextDisplayMode();
    CloseTickGate();
    callsAtGate = FakeCapture.calls.size();  // the gate's lock orders this after the last tick
    gateClosed = true;
  });
  gui.join();
  timer.join();

  EXPECT_EQ(DisplayMode, ModeChanges % DisplayModeCount);
  EXPECT_NE(FakeCapture.Find("PresentFrame"), nullptr);
  EXPECT_EQ(brokenFrames, 0);
  EXPECT_EQ(ticksAfterGate, 0);
  EXPECT_EQ(FakeCapture.calls.size(), callsAtGate);
}

}  // namespace
