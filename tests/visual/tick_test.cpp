#include <gtest/gtest.h>

#include "capture/capture_library.h"
#include "tests/visual/frame_fixture.h"
#include "visual/renderers.h"
#include "visual/tick.h"

namespace {

class Tick : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    CaptureChannel = 0x1234;
    FakeCapture.level = 5000;
  }

  static void RunTick() { RenderTick(0, 0, 0, 0, 0); }

  // The calls of one tick.
  static std::vector<std::string> TickCalls() {
    FakeCapture.calls.clear();
    RunTick();
    return FakeCapture.Names();
  }

  static bool PromptDrawnByTick() {
    TickCalls();
    return FakeCapture.Find("DrawQuietPrompt") != nullptr;
  }
};

const std::vector<std::string> TickWithoutPrompt = {"ChannelGetData", "PresentFrame", "ChannelGetLevel",
                                                    "EndPresent"};

TEST_F(Tick, StartsInTheLinearViewAndRequestsFftDataThenTheLevel) {
  FakeCapture.bins[1] = 0.0625f;
  EXPECT_EQ(TickCalls(), TickWithoutPrompt);
  EXPECT_EQ(FakeCapture.calls[0].numbers, (std::vector<int64_t>{0x1234, 0x80000003}));
  EXPECT_EQ(FakeCapture.calls[2].numbers, (std::vector<int64_t>{0x1234}));
  EXPECT_EQ(FakeWindow.window[0], 1);  // the frame was drawn before the copy
  EXPECT_EQ(FakeWindow.window[159 * FrameWidth], 160);
}

// The modes by their numbers, which clicks step through: 1 bands, 2 the
// spectrogram, 3 the waveform.
TEST_F(Tick, EachModeDrawsItsOwnView) {
  FakeCapture.bins[1] = 0.25f;
  DisplayMode = 1;
  RunTick();
  EXPECT_EQ(Column(0), Bar(209));
  EXPECT_EQ(Column(23), Bar(0));

  DisplayMode = 2;
  ClearFrame();
  RunTick();
  EXPECT_EQ(Pixel(0, 0), 255);
  EXPECT_EQ(Pixel(0, 1), 128);
  EXPECT_EQ(Pixel(1, 100), 255);  // the marker
  EXPECT_EQ(ScrollColumn, 1);
}

TEST_F(Tick, WaveformClearsTheFrameAndRequests736Samples) {
  DisplayMode = 3;
  FakeCapture.samples.assign(736, 0);
  FakeCapture.samples[0] = 32767;
  EXPECT_EQ(TickCalls(), TickWithoutPrompt);  // over a dirty frame
  EXPECT_EQ(FakeCapture.calls[0].numbers, (std::vector<int64_t>{0x1234, 1472}));
  for (int column = 0; column < FrameWidth; ++column)
    for (int row = 0; row < FrameHeight; ++row) {
      const bool onTrace = row == 127 ? column > 0 : (column == 0 && row == 0) || (column == 1 && row >= 1 && row < 127);
      ASSERT_EQ(Pixel(column, row) != 0, onTrace) << column << "," << row;
    }
}

TEST_F(Tick, ShortDeliveriesDrawAsSilence) {
  FakeCapture.delivered_bytes = 0;
  FakeCapture.bins[1] = 1.0f;
  RunTick();
  EXPECT_EQ(Column(0), Bar(1));

  DisplayMode = WaveformMode;
  FakeCapture.samples.assign(736, 32767);
  RunTick();
  for (int column = 0; column < FrameWidth; ++column) EXPECT_EQ(Pixel(column, 127), 1) << column;
}

TEST_F(Tick, WithoutMemoryForTheSamplesTheWaveformTickShowsABlackFrame) {
  DisplayMode = WaveformMode;
  FailSampleAllocation = true;
  EXPECT_EQ(TickCalls(), (std::vector<std::string>{"PresentFrame", "ChannelGetLevel", "EndPresent"}));
  EXPECT_TRUE(FrameIsAll(0));
}

TEST_F(Tick, ModesCycleAndEveryChangeStartsFromBlack) {
  FakeCapture.bins[1] = 0.5f;
  const int32_t expected[] = {1, 2, 3, 0, 1};
  for (int32_t mode : expected) {
    RunTick();
    ASSERT_FALSE(FrameIsAll(0));
    NextDisplayMode();
    EXPECT_EQ(DisplayMode, mode);
    EXPECT_TRUE(FrameIsAll(0)) << "after entering mode " << mode;
  }
}

TEST_F(Tick, EnteringTheSpectrogramRestartsItAtTheLeftEdge) {
  DisplayMode = SpectrogramMode;
  for (int tick = 0; tick < 300; ++tick) RunTick();
  EXPECT_EQ(ScrollColumn, 300);
  NextDisplayMode();  // waveform: the column stays where it was
  NextDisplayMode();
  NextDisplayMode();
  EXPECT_EQ(ScrollColumn, 300);
  NextDisplayMode();
  ASSERT_EQ(DisplayMode, SpectrogramMode);
  EXPECT_EQ(ScrollColumn, 0);
  RunTick();
  EXPECT_EQ(Column(0), std::vector<int>(FrameHeight, 128));
  EXPECT_EQ(Column(1), std::vector<int>(FrameHeight, 255));
  for (int column = 2; column < FrameWidth; ++column) ASSERT_EQ(Column(column), Bar(0)) << column;
}

TEST_F(Tick, QuietPromptBlinksOnItsSchedule) {
  FakeCapture.level = 0;
  std::vector<int> promptTicks;
  for (int tick = 1; tick <= 160; ++tick)
    if (PromptDrawnByTick()) promptTicks.push_back(tick);
  std::vector<int> expected = {61, 62, 63};
  for (int first : {80, 112, 144})
    for (int tick = first; tick < first + 16; ++tick) expected.push_back(tick);
  EXPECT_EQ(promptTicks, expected);

  QuietTicks = 60;
  EXPECT_EQ(TickCalls(), (std::vector<std::string>{"ChannelGetData", "PresentFrame", "ChannelGetLevel",
                                                   "DrawQuietPrompt", "EndPresent"}));
  EXPECT_EQ(FakeCapture.calls[3].text, u"Please Dovrin, sing or make noise !");
}

TEST_F(Tick, LevelThresholdUsesTheLow16BitsOnly) {
  struct Case {
    uint32_t level;
    bool quiet;
  };
  const Case cases[] = {{1000, false}, {999, true}, {0x03E80000, true}, {0xFFFF03E7, true},
                        {0x000103E8, false}, {0xFFFFFFFF, false}};
  for (const Case& c : cases) {
    QuietTicks = 70;
    FakeCapture.level = c.level;
    RunTick();
    EXPECT_EQ(QuietTicks, c.quiet ? 71u : 0u) << std::hex << c.level;
  }
}

TEST_F(Tick, OneLoudTickHidesThePromptFromTheNextCopyOn) {
  FakeCapture.level = 999;
  for (int tick = 0; tick < 61; ++tick) RunTick();
  EXPECT_TRUE(FakeWindow.prompt_shown);
  FakeCapture.level = 1000;
  EXPECT_FALSE(PromptDrawnByTick());
  EXPECT_FALSE(FakeWindow.prompt_shown);
  FakeCapture.level = 0;
  for (int tick = 0; tick < 60; ++tick) EXPECT_FALSE(PromptDrawnByTick()) << tick;
  EXPECT_TRUE(PromptDrawnByTick());
}

TEST_F(Tick, ClosedGateStopsEveryLaterTick) {
  FakeCapture.bins[1] = 0.5f;
  RunTick();
  CloseTickGate();
  FakeCapture.calls.clear();
  FillFrame(DirtyByte);
  for (int mode = 0; mode < DisplayModeCount; ++mode) {
    DisplayMode = mode;
    RunTick();
  }
  NextDisplayMode();
  EXPECT_TRUE(FakeCapture.calls.empty());
  EXPECT_TRUE(FrameIsAll(DirtyByte));
}

TEST_F(Tick, WithoutASurfaceNothingIsDrawnOrRequested) {
  FrameBits = nullptr;
  for (int mode = 0; mode < DisplayModeCount; ++mode) {
    DisplayMode = mode;
    RunTick();
  }
  NextDisplayMode();
  EXPECT_TRUE(FakeCapture.calls.empty());
}

}  // namespace
