// The exported calls as the program sees them, recording from the synthetic
// device: handles, error codes, what each request delivers, device loss.
#include <atomic>
#include <cstring>

#include "recorder_fixture.h"
#include "tests/support/deterministic.h"

namespace {

bool AllZero(const float* values, size_t count) {
  return std::all_of(values, values + count, [](float value) { return value == 0.0f; });
}

std::vector<int16_t> Samples(uint32_t handle, size_t count) {
  std::vector<int16_t> samples(count, 999);
  EXPECT_EQ(BASS_ChannelGetData(handle, samples.data(), static_cast<uint32_t>(count * 2)), count * 2);
  return samples;
}

TEST(CaptureVersion, HasTheHighWordTheProgramChecksAndNeverFails) {
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk);
}

TEST_F(RecorderTest, InitWithoutAnInputDeviceFailsWithTheNoDeviceCode) {
  device.Unplug(SyntheticDevice::Loss::Stall);
  EXPECT_EQ(BASS_RecordInit(DefaultInputDevice), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureNoDevice);
  EXPECT_EQ(device.ThreadsEnded(), 1) << "the backend's thread ended properly all the same";
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureNotInitialised);
}

TEST_F(RecorderTest, InitTwiceFailsWithTheAlreadyInitialisedCode) {
  ASSERT_NE(BASS_RecordInit(DefaultInputDevice), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk);
  EXPECT_EQ(BASS_RecordInit(DefaultInputDevice), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureAlreadyInitialised);
}

TEST_F(RecorderTest, InitOfAnyDeviceButTheDefaultIsABadArgument) {
  for (int32_t device_number : {0, 1, -2}) {
    EXPECT_EQ(BASS_RecordInit(device_number), 0);
    EXPECT_EQ(BASS_ErrorGetCode(), CaptureBadArgument);
  }
}

TEST_F(RecorderTest, StartBeforeInitFailsWithTheNotInitialisedCode) {
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureNotInitialised);
}

TEST_F(RecorderTest, StartRejectsFormatsItCannotRecord) {
  ASSERT_NE(BASS_RecordInit(DefaultInputDevice), 0);
  struct Format {
    uint32_t frequency, channels, flags;
  };
  for (Format format : {Format{44100, 2, 0}, Format{44100, 0, 0}, Format{44100, 1, 0x100},
                        Format{7999, 1, 0}, Format{192001, 1, 0}, Format{0, 1, 0}}) {
    EXPECT_EQ(BASS_RecordStart(format.frequency, format.channels, format.flags, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), CaptureFormatUnsupported) << format.frequency << " " << format.channels;
  }
  EXPECT_EQ(device.Opens(), 0);
  EXPECT_NE(BASS_RecordStart(48000, 1, 0, nullptr, nullptr), 0u);
}

TEST_F(RecorderTest, ASecondStartIsDeviceBusy) {
  const uint32_t handle = Start();
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureDeviceBusy);
  EXPECT_EQ(BASS_ChannelGetLevel(handle) == CaptureFailure, false) << "the first recording goes on";
}

TEST_F(RecorderTest, ADeviceThatFailsToOpenFailsTheStartWithItsCode) {
  ASSERT_NE(BASS_RecordInit(DefaultInputDevice), 0);
  device.SetOpenFailure(CaptureDeviceBusy);
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureDeviceBusy);
  EXPECT_GT(device.Opens(), 2) << "a busy device is given a moment first";
  device.SetOpenFailure(CaptureFormatUnsupported);
  const int opens = device.Opens();
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureFormatUnsupported);
  EXPECT_EQ(device.Opens(), opens + 1) << "a format it cannot record will not pass";
  device.SetOpenFailure(CaptureOk);
  EXPECT_NE(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk);
}

TEST_F(RecorderTest, AnOpenThatRunsOutOfMemoryFailsTheStartWithTheOutOfMemoryCode) {
  ASSERT_NE(BASS_RecordInit(DefaultInputDevice), 0);
  device.ThrowInNextOpen();
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOutOfMemory);
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u) << "nothing records until freed";
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureDriverError);
  EXPECT_NE(BASS_RecordFree(), 0);
  Start();
}

TEST_F(RecorderTest, ErrorCodesBelongToTheCallingThread) {
  EXPECT_EQ(BASS_RecordStart(44100, 1, 0, nullptr, nullptr), 0u);
  int32_t other_thread_code = -1;
  std::thread([&] {
    BASS_GetVersion();
    other_thread_code = BASS_ErrorGetCode();
  }).join();
  EXPECT_EQ(other_thread_code, CaptureOk);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureNotInitialised);
}

TEST_F(RecorderTest, BeforeTheFirstBlockRequestsServeSilenceAtFullLength) {
  device.SetFirstBlockDelay(std::chrono::seconds(30));
  const uint32_t handle = Start();
  float bins[1024];
  std::fill(bins, bins + 1024, 1.0f);
  EXPECT_EQ(BASS_ChannelGetData(handle, bins, BASS_DATA_FFT2048), 4096u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk);
  EXPECT_TRUE(AllZero(bins, 1024));
  EXPECT_EQ(Samples(handle, 736), std::vector<int16_t>(736, 0));
  EXPECT_EQ(BASS_ChannelGetLevel(handle), 0u);
}

TEST_F(RecorderTest, AToneShowsInTheSpectrumTheLevelAndTheSamples) {
  device.SetSignal(SyntheticSignal::Sine(1000, 16384));
  const uint32_t handle = Start();
  ASSERT_TRUE(FullHistory(handle));
  float bins[1024];
  ASSERT_EQ(BASS_ChannelGetData(handle, bins, BASS_DATA_FFT2048), 4096u);
  const size_t peak = std::max_element(bins + 1, bins + 1024) - bins;
  EXPECT_TRUE(peak == 46 || peak == 47) << peak;
  EXPECT_NEAR(bins[46] + bins[47], 0.2203 + 0.2033, 0.01);
  const uint32_t level = BASS_ChannelGetLevel(handle);
  EXPECT_NEAR(level & 0xFFFF, 16384, 40);
  EXPECT_EQ(level >> 16, level & 0xFFFF) << "mono: the same level in both halves";
  const std::vector<int16_t> samples = Samples(handle, 736);
  EXPECT_LE(WorstRecurrence(samples.data(), samples.size(), 1000, 44100), 2.5);
}

TEST_F(RecorderTest, AFullScaleSquareWaveReadsLevel32768InBothHalves) {
  device.SetSignal(SyntheticSignal::Square(441));
  const uint32_t handle = Start();
  ASSERT_TRUE(Eventually([&] { return LowLevel(handle) != 0; }));
  EXPECT_EQ(BASS_ChannelGetLevel(handle), 0x80008000u);
}

TEST_F(RecorderTest, TheLevelCoversOnlyTheNewest20Milliseconds) {
  // A click every 100 ms: the 20 ms window holds one only part of the time.
  device.SetSignal(SyntheticSignal::Clicks(4410, 20000));
  const uint32_t handle = Start();
  EXPECT_TRUE(Eventually([&] { return LowLevel(handle) == 20000; }));
  EXPECT_TRUE(Eventually([&] { return LowLevel(handle) == 0; }));
}

TEST_F(RecorderTest, TheLevelIsTheLargestAbsoluteSampleOfTheNewest20Milliseconds) {
  // Only queued blocks arrive, and nothing falls silent or stalls meanwhile.
  device.SetFirstBlockDelay(std::chrono::seconds(600));
  RecorderTiming timing = FastTiming();
  timing.silence_after = timing.stall_after = timing.first_block_allowance = std::chrono::seconds(300);
  SetRecorderTiming(timing);
  const uint32_t handle = Start();
  constexpr size_t Window = 882;  // 20 ms at 44.1 kHz
  Lcg random{2024};
  // A single-sample peak at every offset, then blocks of plain noise.
  for (size_t round = 0; round < Window + 64; ++round) {
    std::vector<int16_t> block(Window);
    for (int16_t& sample : block) sample = round < Window ? random.Sample() / 8 : random.Sample();
    if (round < Window) block[round] = (round % 2 ? 1 : -1) * static_cast<int16_t>(4096 + round * 32);
    if (round == Window) block[Window / 3] = -32768;
    int32_t expected = 0;
    for (int16_t sample : block) expected = std::max(expected, std::abs(int32_t{sample}));
    device.QueueBlock(block);
    ASSERT_TRUE(Eventually([&] { return Samples(handle, Window) == block; })) << "round " << round;
    ASSERT_EQ(BASS_ChannelGetLevel(handle), uint32_t(expected) * 0x10001) << "round " << round;
  }
}

TEST_F(RecorderTest, PlainRequestsDeliverTheNewestSamplesOldestFirst) {
  device.SetSignal(SyntheticSignal::Clicks(4410, 20000));
  const uint32_t handle = Start();
  ASSERT_TRUE(Eventually([&] {
    const std::vector<int16_t> samples = Samples(handle, 8820);
    return std::count(samples.begin(), samples.end(), 20000) == 2;
  }));
  const std::vector<int16_t> samples = Samples(handle, 8820);
  const auto first = std::find(samples.begin(), samples.end(), 20000);
  ASSERT_NE(first, samples.end());
  const auto second = std::find(first + 1, samples.end(), 20000);
  ASSERT_NE(second, samples.end());
  EXPECT_EQ(second - first, 4410) << "consecutive samples, no gap or repeat";
}

TEST_F(RecorderTest, AskingForMoreThanHasBeenRecordedGivesLeadingZeros) {
  device.SetSignal(SyntheticSignal::Square(441));
  const uint32_t handle = Start();
  ASSERT_TRUE(Eventually([&] { return LowLevel(handle) != 0; }));
  // Ten seconds: far more than has been recorded, or than the library keeps.
  const std::vector<int16_t> samples = Samples(handle, 441000);
  EXPECT_EQ(samples.front(), 0);
  EXPECT_NE(samples.back(), 0);
  const auto first_sound = std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
  EXPECT_TRUE(std::all_of(first_sound, samples.end(), [](int16_t s) { return s == 32767 || s == -32768; }));
}

TEST_F(RecorderTest, BadRequestsFailWithoutWritingAnything) {
  const uint32_t handle = Start();
  std::vector<unsigned char> buffer(8192, 0xAB);
  struct Request {
    uint32_t handle;
    void* buffer;
    uint32_t length;
    CaptureError code;
  };
  for (Request request : {Request{handle, nullptr, BASS_DATA_FFT2048, CaptureBadArgument},
                          Request{handle, nullptr, 1472, CaptureBadArgument},
                          Request{handle, buffer.data(), 0x80000000, CaptureBadArgument},
                          Request{handle, buffer.data(), 0x80000002, CaptureBadArgument},
                          Request{handle, buffer.data(), 0x80000004, CaptureBadArgument},
                          Request{handle, buffer.data(), 0x40000000, CaptureBadArgument},
                          Request{handle, buffer.data(), 0x10000000, CaptureBadArgument},
                          Request{handle, buffer.data(), 0xFFFFFFFF, CaptureBadArgument},
                          Request{0, buffer.data(), BASS_DATA_FFT2048, CaptureBadHandle},
                          Request{handle + 1, buffer.data(), 1472, CaptureBadHandle},
                          Request{handle - 1, buffer.data(), 1472, CaptureBadHandle}}) {
    EXPECT_EQ(BASS_ChannelGetData(request.handle, request.buffer, request.length), CaptureFailure)
        << std::hex << request.length;
    EXPECT_EQ(BASS_ErrorGetCode(), request.code) << std::hex << request.length;
  }
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xAB), 8192);
  EXPECT_EQ(BASS_ChannelGetLevel(handle + 1), CaptureFailure);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureBadHandle);
  EXPECT_EQ(BASS_ChannelGetLevel(0), CaptureFailure);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureBadHandle);
  EXPECT_EQ(BASS_ChannelGetData(handle, buffer.data(), 2), 2u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk) << "0 after a success";
}

TEST_F(RecorderTest, PlainRequestsWriteWholeSamplesOnly) {
  const uint32_t handle = Start();
  unsigned char buffer[8];
  std::memset(buffer, 0xAB, sizeof buffer);
  EXPECT_EQ(BASS_ChannelGetData(handle, buffer, 5), 4u);
  EXPECT_EQ(buffer[4], 0xAB);
  EXPECT_EQ(BASS_ChannelGetData(handle, buffer, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk);
}

TEST_F(RecorderTest, FreeEndsTheHandleAndASecondFreeHasNothingToFree) {
  const uint32_t handle = Start();
  EXPECT_NE(BASS_RecordFree(), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk);
  EXPECT_EQ(device.OpenStreams(), 0);
  EXPECT_EQ(BASS_ChannelGetLevel(handle), CaptureFailure);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureBadHandle);
  float bins[1024];
  EXPECT_EQ(BASS_ChannelGetData(handle, bins, BASS_DATA_FFT2048), CaptureFailure);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureBadHandle);
  EXPECT_EQ(BASS_RecordFree(), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureNotInitialised);
}

TEST_F(RecorderTest, RecordingAgainAfterFreeGivesANewHandle) {
  device.SetSignal(SyntheticSignal::Square(441));
  const uint32_t first = Start();
  ASSERT_TRUE(Eventually([&] { return LowLevel(first) != 0; }));
  ASSERT_NE(BASS_RecordFree(), 0);
  device.SetSignal(SyntheticSignal::Silence());
  const uint32_t second = Start();
  EXPECT_NE(second, first);
  EXPECT_EQ(BASS_ChannelGetLevel(first), CaptureFailure);
  EXPECT_EQ(BASS_ChannelGetLevel(second), 0u) << "nothing of the first recording is served";
}

TEST_F(RecorderTest, FreeBeforeInitHasNothingToFree) {
  EXPECT_EQ(BASS_RecordFree(), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureNotInitialised);
}

TEST_F(RecorderTest, FreeAfterInitWithoutStartSucceeds) {
  ASSERT_NE(BASS_RecordInit(DefaultInputDevice), 0);
  EXPECT_NE(BASS_RecordFree(), 0);
  EXPECT_EQ(device.Opens(), 0);
  EXPECT_EQ(device.ThreadsEnded(), 1) << "OnThreadEnd on the recording thread, then destroyed there";
}

struct CallbackLog {
  std::atomic<int> calls{0};
  std::atomic<uint32_t> handle{0};
  std::atomic<void*> user{nullptr};
  std::atomic<uint32_t> bytes{0};
  int stop_after = -1;  // return false on this call
  std::atomic<int32_t> free_result{-1};
  std::atomic<int32_t> free_code{-1};
  std::atomic<int32_t> start_code{-1};
  std::atomic<int32_t> init_code{-1};
  bool try_control_calls = false;
};

int32_t CAPTURE_API LogBlock(uint32_t handle, const void*, uint32_t length, void* user) {
  auto* log = static_cast<CallbackLog*>(user);
  const int call = ++log->calls;
  log->handle = handle;
  log->user = user;
  log->bytes += length;
  if (log->try_control_calls && call == 1) {
    log->free_result = BASS_RecordFree();
    log->free_code = BASS_ErrorGetCode();
    BASS_RecordStart(44100, 1, 0, nullptr, nullptr);
    log->start_code = BASS_ErrorGetCode();
    BASS_RecordInit(DefaultInputDevice);
    log->init_code = BASS_ErrorGetCode();
  }
  return call == log->stop_after ? 0 : 1;
}

// The log outlives TearDown's free, which is what stops the recording thread
// from calling back into it.
class CallbackTest : public RecorderTest {
 protected:
  CallbackLog log;
};

TEST_F(CallbackTest, TheCallbackGetsEveryBlockWithItsHandleAndUserValue) {
  const uint32_t handle = Start(LogBlock, &log);
  ASSERT_TRUE(Eventually([&] { return log.calls >= 5; }));
  EXPECT_EQ(log.handle, handle);
  EXPECT_EQ(log.user, &log);
  EXPECT_EQ(log.bytes % 882, 0u) << "10 ms blocks of 16-bit samples";
}

TEST_F(CallbackTest, ACallbackReturningFalseStopsTheRecordingButKeepsTheHandle) {
  device.SetSignal(SyntheticSignal::Square(441));
  log.stop_after = 3;
  const uint32_t handle = Start(LogBlock, &log);
  ASSERT_TRUE(Eventually([&] { return log.calls >= 3 && device.OpenStreams() == 0; }));
  EXPECT_EQ(log.calls, 3);
  EXPECT_TRUE(IsSilent(handle));
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk);
}

TEST_F(CallbackTest, ControlCallsFromInsideTheCallbackFailWithoutDeadlock) {
  log.try_control_calls = true;
  const uint32_t handle = Start(LogBlock, &log);
  ASSERT_TRUE(Eventually([&] { return log.calls >= 2; }));
  EXPECT_EQ(log.free_result, 0);
  EXPECT_EQ(log.free_code, CaptureFreeInsideCallback);
  EXPECT_EQ(log.start_code, CaptureDeviceBusy);
  EXPECT_EQ(log.init_code, CaptureAlreadyInitialised);
  EXPECT_NE(BASS_ChannelGetLevel(handle), CaptureFailure) << "the recording went on";
}

class DeviceLossTest : public RecorderTest, public ::testing::WithParamInterface<SyntheticDevice::Loss> {};

TEST_P(DeviceLossTest, ServesSilenceThenResumesWhenTheDeviceReturns) {
  device.SetSignal(SyntheticSignal::Sine(1000, 16384));
  const uint32_t handle = Start();
  SetRecorderTiming(RecorderTiming{});  // for the next init, not this recording
  ASSERT_TRUE(Eventually([&] { return IsAudible(handle); }));
  ASSERT_FALSE(IsSilent(handle)) << "the tone is not taken for silence";
  const auto unplugged = std::chrono::steady_clock::now();
  device.Unplug(GetParam());
  // When silence is due, well before a stall would close the device.
  const RecorderTiming timing = FastTiming();
  const auto silence_by = unplugged + (timing.silence_after + timing.stall_after) / 2;
  EXPECT_TRUE(PollUntil(silence_by, [&] { return IsSilent(handle); }));
  EXPECT_EQ(BASS_ErrorGetCode(), CaptureOk) << "the handle stays valid";
  const int opens_while_lost = device.Opens();
  EXPECT_TRUE(Eventually([&] { return device.Opens() > opens_while_lost + 1; })) << "keeps trying to reopen";
  EXPECT_TRUE(IsSilent(handle));
  device.PlugIn();
  EXPECT_TRUE(Eventually([&] { return IsAudible(handle); }));
  EXPECT_EQ(device.OpenStreams(), 1);
}

TEST_P(DeviceLossTest, FreeWhileTheDeviceIsLostReturns) {
  const uint32_t handle = Start();
  ASSERT_TRUE(Eventually([&] { return device.Opens() == 1; }));
  device.Unplug(GetParam());
  EXPECT_TRUE(Eventually([&] { return device.Opens() >= 3; }));
  EXPECT_NE(BASS_RecordFree(), 0);
  EXPECT_EQ(BASS_ChannelGetLevel(handle), CaptureFailure);
}

INSTANTIATE_TEST_SUITE_P(Stall, DeviceLossTest, ::testing::Values(SyntheticDevice::Loss::Stall));
INSTANTIATE_TEST_SUITE_P(Error, DeviceLossTest, ::testing::Values(SyntheticDevice::Loss::Error));

TEST_F(RecorderTest, ASlowFirstStartIsNotMistakenForLoss) {
  // Longer than the stall limit, shorter than the first-start allowance.
  device.SetFirstBlockDelay(FastTiming().stall_after * 3);
  device.SetSignal(SyntheticSignal::Square(441));
  const uint32_t handle = Start();
  EXPECT_TRUE(Eventually([&] { return LowLevel(handle) != 0; }));
  EXPECT_EQ(device.Opens(), 1);
}

TEST_F(RecorderTest, AFirstStartThatNeverDeliversIsReopenedAfterLongerEachTime) {
  device.SetFirstBlockDelay(std::chrono::seconds(60));
  Start();
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(Eventually([&] { return device.Opens() >= 2; }));
  const auto reopened = std::chrono::steady_clock::now();
  ASSERT_TRUE(Eventually([&] { return device.Opens() >= 3; }));
  EXPECT_GT(std::chrono::steady_clock::now() - reopened, (reopened - started) * 3 / 2) << "the allowance doubles";
}

TEST_F(RecorderTest, ABlockSetsTheFirstBlockAllowanceBack) {
  // Later than the allowance, sooner than twice it: heard at the second open.
  device.SetFirstBlockDelay(FastTiming().first_block_allowance * 4 / 3);
  const uint32_t handle = Start();
  ASSERT_TRUE(Eventually([&] { return IsAudible(handle); }));
  ASSERT_EQ(device.Opens(), 2);
  device.Unplug(SyntheticDevice::Loss::Stall);  // this stream stops; the next open records
  device.PlugIn();
  ASSERT_TRUE(Eventually([&] { return IsSilent(handle); }));
  ASSERT_TRUE(Eventually([&] { return IsAudible(handle); }));
  EXPECT_EQ(device.Opens(), 4) << "again one open timed out, one heard";
}

}  // namespace
