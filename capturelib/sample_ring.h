// The newest recorded samples, for the data and level calls.
//
// Threading contract: one producer (the recording thread) calls Write and
// MarkSilence; any number of consumers call ReadNewest, typically the display
// timer's thread. No locks and no allocation. The producer announces how far
// it is about to write, stores the samples, then publishes the count; a
// consumer reads the count, copies at most MaxRead samples, then reads the
// announcement: the copy holds unless the producer announced Capacity -
// MaxRead (about 0.7 s at 44.1 kHz) more meanwhile, and is repeated if it
// did, so even a reader pre-empted that long gets no mix of old and new. The
// samples are relaxed atomics (plain loads and stores), so that an overtaken
// copy is a detected stale read rather than a data race.
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
  // MaxRead back, read as 0; so does everything, should the producer overtake
  // three copies in a row.
  void ReadNewest(void* out, size_t count) const;

 private:
  std::atomic<uint64_t> written_{0};
  std::atomic<uint64_t> writing_to_{0};  // written_ once the Write under way is done
  std::atomic<uint64_t> silent_before_{0};
  std::atomic<int16_t> samples_[Capacity] = {};
};
