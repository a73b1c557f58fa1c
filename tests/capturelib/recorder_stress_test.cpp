// The recording thread writing while another thread polls data and levels as
// fast as it can: every read must be whole (run under ThreadSanitizer too).
#include <atomic>

#include "recorder_fixture.h"

namespace {

constexpr auto PollingTime = std::chrono::milliseconds(1500);

TEST_F(RecorderTest, PollingAtFullSpeedWhileRecordingNeverSeesTornData) {
  // 1 ms blocks: ten times as many writes as a real device makes.
  device.SetBlockMilliseconds(1);
  device.SetSignal(SyntheticSignal::Sine(1000, 16384));
  const uint32_t handle = Start();
  ASSERT_TRUE(FullHistory(handle));

  std::atomic<int> polls{0};
  std::atomic<int> torn{0};
  auto poll = [&] {
    std::vector<int16_t> samples(736);
    float bins[1024];
    const auto until = std::chrono::steady_clock::now() + PollingTime;
    while (std::chrono::steady_clock::now() < until) {
      BASS_ChannelGetData(handle, samples.data(), 1472);
      if (WorstRecurrence(samples.data(), samples.size(), 1000, 44100) > 2.5) ++torn;
      BASS_ChannelGetData(handle, bins, BASS_DATA_FFT2048);
      const size_t peak = std::max_element(bins + 1, bins + 1024) - bins;
      if (peak != 46 && peak != 47) ++torn;
      if (std::abs(static_cast<int>(LowLevel(handle)) - 16384) > 2) ++torn;
      ++polls;
    }
  };
  std::thread first(poll), second(poll);
  first.join();
  second.join();
  EXPECT_GT(polls, 10);
  EXPECT_EQ(torn, 0);
}

TEST_F(RecorderTest, PollingWhileRecordingsStartAndStopGetsWholeAnswersOrBadHandle) {
  device.SetBlockMilliseconds(1);
  device.SetSignal(SyntheticSignal::Square(441));
  std::atomic<uint32_t> handle{0};
  std::atomic<bool> done{false};
  std::atomic<int> answered{0};
  std::atomic<int> wrong{0};
  std::thread poller([&] {
    std::vector<int16_t> samples(736);
    float bins[1024];
    const auto full_scale = [](int16_t sample) { return sample == 32767 || sample == -32768; };
    while (!done) {
      const uint32_t current = handle.load();
      // Silence before the first block, then the full-scale square wave.
      if (BASS_ChannelGetData(current, samples.data(), 1472) != CaptureFailure) {
        ++answered;
        const auto sound = std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
        if (!std::all_of(sound, samples.end(), full_scale)) ++wrong;
      } else if (BASS_ErrorGetCode() != CaptureBadHandle) {
        ++wrong;
      }
      const uint32_t bytes = BASS_ChannelGetData(current, bins, BASS_DATA_FFT2048);
      if (bytes != sizeof bins && bytes != CaptureFailure) ++wrong;
      const uint32_t level = BASS_ChannelGetLevel(current);
      if (level != 0 && level != 0x7FFF7FFFu && level != 0x80008000u && level != CaptureFailure) ++wrong;
    }
  });
  for (int round = 0; round < 20; ++round) {
    ASSERT_NE(BASS_RecordInit(DefaultInputDevice), 0);
    handle = BASS_RecordStart(44100, 1, 0, nullptr, nullptr);
    ASSERT_NE(handle.load(), 0u);
    EXPECT_TRUE(Eventually([&] { return LowLevel(handle) != 0; })) << "round " << round;
    ASSERT_NE(BASS_RecordFree(), 0);
  }
  done = true;
  poller.join();
  EXPECT_GT(answered, 0);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
