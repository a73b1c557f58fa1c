// The recorder behind the exported calls (exports.cpp): one recording at a
// time, its recording thread, and what it does when the device goes. Tests
// use the hooks at the end to install a backend and shorter timings.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "capture/capture_library.h"
#include "capturelib/backends/backend.h"

// The sample rates the recorder accepts.
constexpr uint32_t LowestFrequency = 8000;
constexpr uint32_t HighestFrequency = 192000;

// Init, start and free, as the exported calls describe them: CaptureOk or
// the failure's code. Called from one thread, never from the record callback.
CaptureError InitRecording();
CaptureError StartRecording(uint32_t frequency, uint32_t channels, uint32_t flags, CaptureRecordProc proc,
                            void* user, uint32_t& handle);
CaptureError FreeRecording();

// The data path: any thread, no lock, no allocation.
bool IsCurrentRecording(uint32_t handle);
uint32_t RecordingFrequency();  // of the latest start
void ReadNewestSamples(void* out, size_t count);  // as SampleRing::ReadNewest
// True on the recording thread, where only the record callback can call.
bool InsideRecordProc();

// The recording thread is in one state at a time; its timers are these:
//
//   state            calls  timers                           next
//   Idle             -      -                                a start: Open; Recording, or
//                                                            Idle (the start retries or fails)
//   Recording        Drain  silence_after with no block:     the callback returns 0: Close,
//                           the ring reads silent; stall_    silent, StoppedByProc; Drain
//                           after (the open's allowance      fails or a stall: Close,
//                           before the first): a stall       silent, WaitingToReopen
//   WaitingToReopen  -      reopen_interval after a failed   Open; Recording, or
//                           open, none after a loss          WaitingToReopen
//   StoppedByProc    -      -                                stays
//   Quitting         Close  -                                the thread ends
//
// A quit takes every state to Quitting (an Open under way first returns).
// Drain waits a wait slice at most, and never past when silence is due. A
// thread that fails (its probe, or out of memory) ends, and every start fails
// with CaptureDriverError until the free.
struct RecorderTiming {
  // Serve silence this long after the last block, so the last sound does not
  // stay frozen on the screen.
  std::chrono::milliseconds silence_after{250};
  // No block for this long while recording: the device is lost.
  std::chrono::milliseconds stall_after{1000};
  // A freshly opened device may take this long to deliver its first block
  // (0.75-2 s under Wine's audio server; more for a Bluetooth headset that
  // switches profile) before it counts as lost. Each open that brings no
  // block doubles it for the next, up to the limit; a block resets it.
  std::chrono::milliseconds first_block_allowance{3000};
  std::chrono::milliseconds first_block_allowance_limit{12000};
  // A device that will not open is tried this often, so its return is heard
  // soon, at one failing open per interval.
  std::chrono::milliseconds reopen_interval{250};
  // A start whose open fails for a cause that can pass (no device, busy, the
  // audio layer refusing) tries again for this long before it fails.
  std::chrono::milliseconds start_retries_for{1500};
  // The longest the recording thread sleeps before looking at its clock.
  std::chrono::milliseconds wait_slice{50};
};

using BackendFactory = std::function<std::unique_ptr<RecordingBackend>()>;

// Both take effect at the next BASS_RecordInit, which hands the timing to
// the recording thread. An empty factory restores CreateDefaultBackend; a
// default RecorderTiming restores the real timings.
void SetRecordingBackendFactory(BackendFactory factory);
void SetRecorderTiming(const RecorderTiming& timing);
