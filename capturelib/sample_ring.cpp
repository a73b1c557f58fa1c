#include "capturelib/sample_ring.h"

#include <algorithm>
#include <cstring>

void SampleRing::Write(const int16_t* samples, size_t count) {
  const uint64_t start = written_.load(std::memory_order_relaxed);
  const size_t kept = std::min(count, Capacity);
  // A reader that sees any of the samples below sees this announcement too.
  writing_to_.store(start + count, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  for (uint64_t position = start + (count - kept); position < start + count; ++position) {
    samples_[position % Capacity].store(samples[position - start], std::memory_order_relaxed);
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
    for (size_t i = 0; i < copied; ++i) {
      const int16_t sample = samples_[(written - copied + i) % Capacity].load(std::memory_order_relaxed);
      std::memcpy(bytes + (zeros + i) * sizeof(int16_t), &sample, sizeof sample);
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    // The producer overwrites the oldest slots first: the copy holds unless it
    // has gone Capacity - copied past the count the copy began at.
    if (writing_to_.load(std::memory_order_relaxed) - written <= Capacity - copied) return;
  }
  std::memset(bytes, 0, count * sizeof(int16_t));
}
