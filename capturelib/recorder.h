// The recorder behind the exported calls: one recording at a time, its
// thread, device-loss handling. Tests use these hooks to run the exported
// calls against the synthetic backend with shortened timings.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "capturelib/backends/backend.h"

struct RecorderTiming {
  // Serve silence this long after the last block, so the last sound does not
  // stay frozen on the screen.
  std::chrono::milliseconds silence_after{250};
  // No block for this long while recording: the device is lost.
  std::chrono::milliseconds stall_after{1000};
  // A freshly opened device may take this long to deliver its first block
  // (0.75-2 s under Wine's audio server) before it counts as lost.
  std::chrono::milliseconds first_block_allowance{3000};
  std::chrono::milliseconds reopen_interval{1000};
  // The longest the recording thread sleeps before looking at its clock.
  std::chrono::milliseconds wait_slice{50};
};

using BackendFactory = std::function<std::unique_ptr<RecordingBackend>()>;

// Both take effect at the next BASS_RecordInit. An empty factory restores
// CreateDefaultBackend; a default RecorderTiming restores the real timings.
void SetRecordingBackendFactory(BackendFactory factory);
void SetRecorderTiming(const RecorderTiming& timing);
