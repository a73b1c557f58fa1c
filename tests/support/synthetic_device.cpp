#include "tests/support/synthetic_device.h"

#include "tests/support/tone.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The sample a signal has at position index of a recording at frequency.
int16_t SignalSample(const SyntheticSignal& signal, uint64_t index, uint32_t frequency) {
  switch (signal.kind) {
    case SyntheticSignal::Kind::Sine:
      return Tone{signal.frequency, signal.amplitude}.Sample(index, frequency);
    case SyntheticSignal::Kind::Silence:
      return 0;
    case SyntheticSignal::Kind::Square: {
      const double cycles = std::fmod(static_cast<double>(index) * signal.frequency, frequency);
      return cycles * 2.0 < frequency ? 32767 : -32768;
    }
    case SyntheticSignal::Kind::Clicks:
      if (index % signal.click_interval != 0) return 0;
      return static_cast<int16_t>(std::lround(std::clamp(signal.amplitude, -32768.0, 32767.0)));
  }
  return 0;
}

}  // namespace

class SyntheticBackend final : public RecordingBackend {
 public:
  explicit SyntheticBackend(SyntheticDevice& device) : device_(device) {
    std::lock_guard<std::mutex> lock(device_.lock_);
    ++device_.live_backends_;
  }
  ~SyntheticBackend() override {
    Close();
    std::lock_guard<std::mutex> lock(device_.lock_);
    --device_.live_backends_;
    if (ended_ && std::this_thread::get_id() == thread_) ++device_.threads_ended_;
  }

  void OnThreadStart() override { thread_ = std::this_thread::get_id(); }
  void OnThreadEnd() override { ended_ = std::this_thread::get_id() == thread_; }

  CaptureError Probe() override {
    std::lock_guard<std::mutex> lock(device_.lock_);
    return device_.present_ ? CaptureOk : CaptureNoDevice;
  }

  CaptureError Open(const RecordFormat& format) override {
    std::unique_lock<std::mutex> lock(device_.lock_);
    ++device_.opens_;
    const auto delay = device_.open_delay_;
    device_.open_delay_ = std::chrono::milliseconds(0);
    if (delay.count() > 0) {
      lock.unlock();
      std::this_thread::sleep_for(delay);
      lock.lock();
    }
    if (std::exchange(device_.throw_in_open_, false)) throw std::bad_alloc();
    if (device_.open_failure_ != CaptureOk) return device_.open_failure_;
    if (!device_.present_) return CaptureNoDevice;
    format_ = format;
    epoch_ = device_.plug_epoch_;
    block_samples_ = std::max<uint32_t>(1, format.frequency * device_.block_milliseconds_ / 1000);
    block_period_ = std::chrono::microseconds(1000 * device_.block_milliseconds_);
    next_block_at_ = Clock::now() + device_.first_block_delay_ + block_period_;
    block_.assign(block_samples_, 0);
    open_ = true;
    ++device_.open_streams_;
    return CaptureOk;
  }

  CaptureError Drain(std::chrono::milliseconds timeout, BlockSink& sink) override {
    std::unique_lock<std::mutex> lock(device_.lock_);
    const bool alive = open_ && epoch_ == device_.plug_epoch_;
    if (!alive && open_ && device_.loss_ == SyntheticDevice::Loss::Error) return CaptureDriverError;
    const auto until = Clock::now() + timeout;
    device_.woken_.wait_until(lock, alive ? std::min(until, next_block_at_) : until,
                              [&] { return woken_ || (alive && !device_.queued_.empty()); });
    woken_ = false;
    if (!open_ || epoch_ != device_.plug_epoch_) return CaptureOk;
    while (!device_.queued_.empty() && epoch_ == device_.plug_epoch_) {
      const std::vector<int16_t> queued = std::move(device_.queued_.front());
      device_.queued_.pop_front();
      lock.unlock();
      // A real driver hands over its buffer even when it holds nothing.
      const bool more = sink.OnBlock(queued.empty() ? block_.data() : queued.data(), queued.size());
      lock.lock();
      if (!more) return CaptureOk;
    }
    // Deliver every block that is due, as a real device delivers a backlog.
    while (Clock::now() >= next_block_at_) {
      for (auto& sample : block_) {
        sample = SignalSample(device_.signal_, device_.next_sample_++, format_.frequency);
      }
      next_block_at_ += block_period_;
      lock.unlock();
      const bool more = sink.OnBlock(block_.data(), block_.size());
      lock.lock();
      if (!more) break;
    }
    return CaptureOk;
  }

  void Close() override {
    std::lock_guard<std::mutex> lock(device_.lock_);
    if (!open_) return;
    open_ = false;
    ++device_.closes_;
    --device_.open_streams_;
  }

  void Wake() override {
    std::lock_guard<std::mutex> lock(device_.lock_);
    woken_ = true;
    device_.woken_.notify_all();
  }

 private:
  SyntheticDevice& device_;
  RecordFormat format_;
  bool open_ = false;
  bool woken_ = false;
  uint64_t epoch_ = 0;
  uint32_t block_samples_ = 0;
  std::chrono::microseconds block_period_{10000};
  Clock::time_point next_block_at_;
  std::vector<int16_t> block_;
  std::thread::id thread_;
  bool ended_ = false;
};

void SyntheticDevice::SetSignal(const SyntheticSignal& signal) {
  std::lock_guard<std::mutex> lock(lock_);
  signal_ = signal;
}

void SyntheticDevice::SetFirstBlockDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(lock_);
  first_block_delay_ = delay;
}

void SyntheticDevice::SetBlockMilliseconds(uint32_t milliseconds) {
  std::lock_guard<std::mutex> lock(lock_);
  block_milliseconds_ = std::max<uint32_t>(1, milliseconds);
}

void SyntheticDevice::SetOpenFailure(CaptureError failure) {
  std::lock_guard<std::mutex> lock(lock_);
  open_failure_ = failure;
}

void SyntheticDevice::HangNextOpen(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(lock_);
  open_delay_ = delay;
}

void SyntheticDevice::ThrowInNextOpen() {
  std::lock_guard<std::mutex> lock(lock_);
  throw_in_open_ = true;
}

void SyntheticDevice::QueueBlock(std::vector<int16_t> samples) {
  std::lock_guard<std::mutex> lock(lock_);
  queued_.push_back(std::move(samples));
  woken_.notify_all();
}

void SyntheticDevice::DiscardQueuedBlocks() {
  std::lock_guard<std::mutex> lock(lock_);
  queued_.clear();
}

void SyntheticDevice::Unplug(Loss loss) {
  std::lock_guard<std::mutex> lock(lock_);
  present_ = false;
  loss_ = loss;
  ++plug_epoch_;
  woken_.notify_all();
}

void SyntheticDevice::PlugIn() {
  std::lock_guard<std::mutex> lock(lock_);
  present_ = true;
}

int SyntheticDevice::Opens() const {
  std::lock_guard<std::mutex> lock(lock_);
  return opens_;
}

int SyntheticDevice::Closes() const {
  std::lock_guard<std::mutex> lock(lock_);
  return closes_;
}

int SyntheticDevice::OpenStreams() const {
  std::lock_guard<std::mutex> lock(lock_);
  return open_streams_;
}

int SyntheticDevice::LiveBackends() const {
  std::lock_guard<std::mutex> lock(lock_);
  return live_backends_;
}

int SyntheticDevice::ThreadsEnded() const {
  std::lock_guard<std::mutex> lock(lock_);
  return threads_ended_;
}

std::unique_ptr<RecordingBackend> SyntheticDevice::CreateBackend() {
  return std::make_unique<SyntheticBackend>(*this);
}
