#include "capturelib/sample_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Counts 1, 2, 3, ... as int16 (wrapping), so order and gaps show.
std::vector<int16_t> Counting(size_t count, uint32_t first) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(first + i);
  return samples;
}

std::vector<int16_t> Newest(const SampleRing& ring, size_t count) {
  std::vector<int16_t> out(count, 999);
  ring.ReadNewest(out.data(), count);
  return out;
}

// 128 KB: too large for the stack in every test.
std::unique_ptr<SampleRing> MakeRing() { return std::make_unique<SampleRing>(); }

TEST(SampleRing, EmptyRingReadsZeros) {
  auto ring = MakeRing();
  EXPECT_EQ(Newest(*ring, 2048), std::vector<int16_t>(2048, 0));
}

TEST(SampleRing, ReadsTheNewestSamplesOldestFirst) {
  auto ring = MakeRing();
  ring->Write(Counting(100, 1).data(), 100);
  ring->Write(Counting(100, 101).data(), 100);
  EXPECT_EQ(Newest(*ring, 150), Counting(150, 51));
}

TEST(SampleRing, MissingOlderSamplesReadAsZero) {
  auto ring = MakeRing();
  ring->Write(Counting(10, 1).data(), 10);
  std::vector<int16_t> expected(20, 0);
  const std::vector<int16_t> written = Counting(10, 1);
  std::copy(written.begin(), written.end(), expected.begin() + 10);
  EXPECT_EQ(Newest(*ring, 20), expected);
}

TEST(SampleRing, WrapsAroundInTheMiddleOfABlock) {
  auto ring = MakeRing();
  uint32_t next = 1;
  // 441-sample blocks, as the recorder writes them, well past the capacity.
  while (next < 3 * SampleRing::Capacity + 1234) {
    ring->Write(Counting(441, next).data(), 441);
    next += 441;
  }
  EXPECT_EQ(Newest(*ring, 5000), Counting(5000, next - 5000));
}

TEST(SampleRing, ABlockLargerThanTheRingKeepsItsNewestSamples) {
  auto ring = MakeRing();
  const size_t count = SampleRing::Capacity + 500;
  ring->Write(Counting(count, 1).data(), count);
  EXPECT_EQ(Newest(*ring, 2048), Counting(2048, static_cast<uint32_t>(count - 2048 + 1)));
}

TEST(SampleRing, ReadsBeyondMaxReadAreZeroFilled) {
  auto ring = MakeRing();
  const size_t count = SampleRing::Capacity;
  ring->Write(Counting(count, 1).data(), count);
  const size_t asked = SampleRing::MaxRead + 100;
  const std::vector<int16_t> out = Newest(*ring, asked);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 100), std::vector<int16_t>(100, 0));
  EXPECT_EQ(std::vector<int16_t>(out.begin() + 100, out.end()),
            Counting(SampleRing::MaxRead, static_cast<uint32_t>(count - SampleRing::MaxRead + 1)));
}

TEST(SampleRing, MarkSilenceSilencesEverythingWrittenBefore) {
  auto ring = MakeRing();
  ring->Write(Counting(3000, 1).data(), 3000);
  ring->MarkSilence();
  EXPECT_EQ(Newest(*ring, 2048), std::vector<int16_t>(2048, 0));
  ring->Write(Counting(48, 5001).data(), 48);
  std::vector<int16_t> expected(100, 0);
  const std::vector<int16_t> fresh = Counting(48, 5001);
  std::copy(fresh.begin(), fresh.end(), expected.begin() + 52);
  EXPECT_EQ(Newest(*ring, 100), expected);
}

TEST(SampleRing, WritesIntoAnUnalignedBuffer) {
  auto ring = MakeRing();
  ring->Write(Counting(8, 0x0102).data(), 8);
  unsigned char bytes[1 + 8 * sizeof(int16_t) + 1] = {};
  bytes[sizeof bytes - 1] = 0xAB;
  ring->ReadNewest(bytes + 1, 8);
  std::vector<int16_t> out(8);
  std::memcpy(out.data(), bytes + 1, 8 * sizeof(int16_t));
  EXPECT_EQ(out, Counting(8, 0x0102));
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[sizeof bytes - 1], 0xAB);
}

// A writer lapping the reader again and again, as it would a reader
// pre-empted for 0.7 s: each read holds old samples only or new ones only
// (or, three times overtaken, zeros), never a mix. Also under ThreadSanitizer.
TEST(SampleRing, AReaderThatIsLappedNeverReturnsAMixOfOldAndNewSamples) {
  auto ring = MakeRing();
  constexpr size_t Block = 4096;
  constexpr uint32_t Period = 65521;  // prime: a slot holds another value on every lap
  std::atomic<uint64_t> written{0};
  std::atomic<bool> done{false};
  std::thread writer([&] {
    std::vector<int16_t> block(Block);
    for (uint64_t position = 0; !done; position += Block) {
      for (size_t i = 0; i < Block; ++i) block[i] = static_cast<int16_t>((position + i) % Period);
      ring->Write(block.data(), Block);
      written = position + Block;
    }
  });
  while (written < SampleRing::Capacity) std::this_thread::yield();
  const auto whole = [&](const std::vector<int16_t>& out) {
    if (std::all_of(out.begin(), out.end(), [](int16_t sample) { return sample == 0; })) return true;
    for (size_t i = 1; i < out.size(); ++i) {
      if ((uint16_t(out[i - 1]) + 1u) % Period != uint16_t(out[i])) return false;
    }
    return true;
  };
  int lapped = 0, mixed = 0;
  std::vector<int16_t> out(SampleRing::MaxRead);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (lapped < 50 && std::chrono::steady_clock::now() < give_up) {
    const uint64_t before = written;
    ring->ReadNewest(out.data(), out.size());
    if (written - before >= SampleRing::Capacity - SampleRing::MaxRead) ++lapped;
    if (!whole(out)) ++mixed;
  }
  done = true;
  writer.join();
  EXPECT_EQ(mixed, 0);
  EXPECT_EQ(lapped, 50) << "the writer did not lap the reader often enough to tell";
}

}  // namespace
