// Runs the exported calls against a synthetic device with shortened timings.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "capture/capture_library.h"
#include "capturelib/contract.h"
#include "capturelib/recorder.h"
#include "tests/support/synthetic_device.h"
#include "tests/capturelib/fast_timing.h"
#include "tests/support/capture_checks.h"
#include "tests/support/polling.h"

// Waits until a whole FFT's worth of samples has been recorded.
inline bool FullHistory(uint32_t handle) {
  return Eventually([&] {
    // The oldest two of the newest 2048: a sine is not zero at both.
    int16_t samples[2048];
    BASS_ChannelGetData(handle, samples, sizeof samples);
    return samples[0] != 0 || samples[1] != 0;
  });
}

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetRecordingBackendFactory([this] { return device.CreateBackend(); });
    SetRecorderTiming(FastTiming());
  }

  void TearDown() override {
    BASS_RecordFree();
    EXPECT_EQ(device.OpenStreams(), 0) << "every stream opened was closed";
    SetRecordingBackendFactory(nullptr);
    SetRecorderTiming(RecorderTiming{});
  }

  uint32_t Start(CaptureRecordProc proc = nullptr, void* user = nullptr) {
    EXPECT_NE(BASS_RecordInit(DefaultInputDevice), 0);
    const uint32_t handle = BASS_RecordStart(44100, 1, 0, proc, user);
    EXPECT_NE(handle, 0u) << "error " << BASS_ErrorGetCode();
    return handle;
  }

  SyntheticDevice device;
};
