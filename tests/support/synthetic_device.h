// A recording backend that makes its own signals, in real time, for tests and
// benchmarks only (bass.dll never contains it): a sine, silence, a full-scale
// square wave, or clicks, and a device that can be unplugged and plugged in
// again.
//
// A test keeps the SyntheticDevice and hands a factory to the recorder; every
// backend made from it records from that device. The device's methods may be
// called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <deque>
#include <mutex>
#include <vector>

#include "capturelib/backends/backend.h"

struct SyntheticSignal {
  enum class Kind { Sine, Silence, Square, Clicks };
  Kind kind = Kind::Sine;
  double frequency = 1000.0;  // Hz, for the sine and the square wave
  double amplitude = 16384.0;  // peak sample value for the sine and the clicks
  uint32_t click_interval = 4410;  // samples between clicks

  static SyntheticSignal Sine(double frequency, double amplitude) {
    return {Kind::Sine, frequency, amplitude, 0};
  }
  static SyntheticSignal Silence() { return {Kind::Silence, 0.0, 0.0, 0}; }
  // Always full scale: 32767 and -32768.
  static SyntheticSignal Square(double frequency) { return {Kind::Square, frequency, 0.0, 0}; }
  static SyntheticSignal Clicks(uint32_t interval, double amplitude) {
    return {Kind::Clicks, 0.0, amplitude, interval};
  }
};

class SyntheticDevice {
 public:
  enum class Loss {
    Stall,  // blocks stop coming, nothing reports an error
    Error,  // the next drain reports a driver error
  };

  void SetSignal(const SyntheticSignal& signal);
  // Delay before an opened stream delivers its first block.
  void SetFirstBlockDelay(std::chrono::milliseconds delay);
  // Audio per block; 10 ms unless set (shorter blocks stress the ring).
  void SetBlockMilliseconds(uint32_t milliseconds);
  // Open fails with this code while set (CaptureOk: works again).
  void SetOpenFailure(CaptureError failure);
  // The next Open blocks this long, deaf to Wake and Close, like a driver
  // that hangs once.
  void HangNextOpen(std::chrono::milliseconds delay);
  // The next Open throws std::bad_alloc, as an allocation that fails.
  void ThrowInNextOpen();

  // Blocks handed to the sink, in order and ahead of the signal's own, at the
  // next drain of a live stream; an empty one is delivered as a zero count.
  void QueueBlock(std::vector<int16_t> samples);
  void DiscardQueuedBlocks();

  // The device goes away: streams open now never deliver again, and opening
  // fails with CaptureNoDevice until PlugIn.
  void Unplug(Loss loss);
  void PlugIn();

  int Opens() const;
  int Closes() const;
  int OpenStreams() const;
  // Backends made and not yet destroyed.
  int LiveBackends() const;
  // Backends whose OnThreadEnd came on their OnThreadStart's thread, and
  // which were then destroyed there.
  int ThreadsEnded() const;

  std::unique_ptr<RecordingBackend> CreateBackend();

 private:
  friend class SyntheticBackend;
  mutable std::mutex lock_;
  std::condition_variable woken_;
  SyntheticSignal signal_;
  std::chrono::milliseconds first_block_delay_{0};
  uint32_t block_milliseconds_ = 10;
  CaptureError open_failure_ = CaptureOk;
  std::chrono::milliseconds open_delay_{0};
  bool throw_in_open_ = false;
  std::deque<std::vector<int16_t>> queued_;
  bool present_ = true;
  Loss loss_ = Loss::Stall;
  uint64_t plug_epoch_ = 0;  // counts unplugs; a stream dies when it changes
  uint64_t next_sample_ = 0;  // the signal runs on across streams
  int opens_ = 0;
  int closes_ = 0;
  int open_streams_ = 0;
  int live_backends_ = 0;
  int threads_ended_ = 0;
};
