#include "capturelib/sample_ring.h"

#include <algorithm>
#include <atomic>
#include <cstring>

void SampleRing::Write(const int16_t* samples, size_t count) {
  // Orders every finished read before the slots it read are overwritten.
  static_cast<void>(reads_finished_.load(std::memory_order_acquire));
  const uint64_t start = written_.load(std::memory_order_relaxed);
  const size_t kept = std::min(count, Capacity);
  uint64_t position = start + (count - kept);
  const int16_t* from = samples + (count - kept);
  size_t left = kept;
  while (left > 0) {
    const size_t slot = static_cast<size_t>(position % Capacity);
    const size_t run = std::min(left, Capacity - slot);
    std::memcpy(samples_ + slot, from, run * sizeof(int16_t));
    from += run;
    position += run;
    left -= run;
  }
  written_.store(start + count, std::memory_order_release);
}

void SampleRing::MarkSilence() {
  silent_before_.store(written_.load(std::memory_order_relaxed), std::memory_order_release);
}

void SampleRing::ReadNewest(void* out, size_t count) const {
  auto* const bytes = static_cast<unsigned char*>(out);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const uint64_t written = written_.load(std::memory_order_acquire);
    const uint64_t silent_before = silent_before_.load(std::memory_order_acquire);
    const uint64_t audible = silent_before < written ? written - silent_before : 0;
    const size_t copied = static_cast<size_t>(std::min<uint64_t>({count, audible, MaxRead}));
    const size_t zeros = count - copied;
    std::memset(bytes, 0, zeros * sizeof(int16_t));
    uint64_t position = written - copied;
    size_t done = 0;
    while (done < copied) {
      const size_t slot = static_cast<size_t>(position % Capacity);
      const size_t run = std::min(copied - done, Capacity - slot);
      std::memcpy(bytes + (zeros + done) * sizeof(int16_t), samples_ + slot, run * sizeof(int16_t));
      done += run;
      position += run;
    }
    // Announces the read as finished (see Write), and keeps the copy ahead of
    // the check below.
    reads_finished_.fetch_add(1, std::memory_order_acq_rel);
    // The producer only ever overwrites the oldest slots: the copy holds as
    // long as it has not written Capacity - copied more samples meanwhile.
    if (written_.load(std::memory_order_acquire) - written <= Capacity - copied) return;
  }
  std::memset(bytes, 0, count * sizeof(int16_t));
}
