// The newest recorded samples, for the data and level calls.
//
// Threading contract: one producer (the recording thread) calls Write and
// MarkSilence; any number of consumers call ReadNewest, typically the display
// timer's thread. No locks and no allocation: the producer stores samples,
// then publishes the running count with release order; a consumer reads the
// count with acquire order and copies at most MaxRead samples, which the
// producer cannot overwrite unless it writes Capacity - MaxRead (about 0.7 s
// at 44.1 kHz) during one copy. A copy that was overtaken all the same is
// detected and repeated. Each finished read is announced in a counter the
// producer reads before writing, so a slot is only overwritten after every
// finished read of it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

class SampleRing {
 public:
  static constexpr size_t Capacity = size_t{1} << 16;
  static constexpr size_t MaxRead = Capacity / 2;

  // Producer only.
  void Write(const int16_t* samples, size_t count);
  // Producer only: everything written so far reads as silence from now on.
  void MarkSilence();

  // Copies the newest count samples, oldest first, to out (any alignment).
  // Samples never written, or older than the last MarkSilence, or more than
  // MaxRead back, read as 0.
  void ReadNewest(void* out, size_t count) const;

 private:
  std::atomic<uint64_t> written_{0};
  std::atomic<uint64_t> silent_before_{0};
  mutable std::atomic<uint64_t> reads_finished_{0};
  int16_t samples_[Capacity] = {};
};
