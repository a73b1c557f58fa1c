// Windows recording backend: waveIn on the default device (WAVE_MAPPER).
//
// Every waveIn call is made on the recorder's recording thread: waveIn calls
// from inside a waveIn callback can deadlock on Windows, so the callback is
// only an auto-reset event, and one wake may stand for several buffers.
//
// What Windows does and Wine does not show, and how this backend answers it
// (empty buffers from a dead endpoint, refused closes, dead streams kept), is
// in capturelib/README.md under device loss. Every wait is measured on the
// steady clock, whatever the timer granularity (15.6 ms by default on Windows).
//
// Api is winmm's waveIn and event calls with their own signatures: the
// system's in the product (wavein_system.cpp), a model of them in tests.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "capturelib/backends/backend.h"
#include "capturelib/contract.h"
#include "capturelib/backends/wavein_api.h"

// The one place where waveIn's MMRESULT codes become the library's own.
CaptureError ErrorFromMmresult(uint32_t result);

template <typename Api>
class WaveInBackend final : public RecordingBackend {
 public:
  // Dead streams kept at most. Each one the driver never lets go costs its
  // handle and buffers for good, so past this many the backend stops opening
  // and the recorder serves silence: repeated losses must not leak without end.
  static constexpr size_t MaxDeadStreams = 2;

  WaveInBackend() : event_(Api::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    parked_.reserve(BufferCount);
    dead_.reserve(MaxDeadStreams);
  }

  ~WaveInBackend() override {
    Close();
    RetryDeadStreams();
    if (dead_.empty()) {
      if (event_ != nullptr) Api::CloseHandle(event_);
      return;
    }
    // Still refused: those handles may yet signal the event and write into
    // their buffers, so both are kept for the life of the process.
    for (Device& device : dead_) LeftToSystem().push_back(std::move(device));
  }

  void OnThreadStart() override { Api::PrepareRecordingThread(); }

  CaptureError Probe() override {
    if (event_ == nullptr) return CaptureOutOfMemory;
    return Api::waveInGetNumDevs() == 0 ? CaptureNoDevice : CaptureOk;
  }

  CaptureError Open(const RecordFormat& format) override {
    Close();
    RetryDeadStreams();
    if (dead_.size() >= MaxDeadStreams) return CaptureDeviceBusy;
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = 1;
    wave.nSamplesPerSec = format.frequency;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = sizeof(int16_t);
    wave.nAvgBytesPerSec = format.frequency * wave.nBlockAlign;
    // Allocated first: a failed allocation must not leave a device open.
    const size_t block_bytes = BlockSamples(format) * wave.nBlockAlign;
    auto buffers = std::make_unique<Buffers>();
    buffers->memory.assign(block_bytes * BufferCount, 0);
    Api::ResetEvent(event_);
    HWAVEIN handle = nullptr;
    MMRESULT result = Api::waveInOpen(&handle, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(event_), 0,
                                      CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) return ErrorFromMmresult(result);
    device_.handle = handle;
    device_.buffers = std::move(buffers);
    queue_ = Queue{};
    parked_.clear();
    for (int i = 0; i < BufferCount && result == MMSYSERR_NOERROR; ++i) {
      WAVEHDR& header = device_.buffers->headers[i];
      header = WAVEHDR{};
      header.lpData = device_.buffers->memory.data() + i * block_bytes;
      header.dwBufferLength = static_cast<DWORD>(block_bytes);
      result = Api::waveInPrepareHeader(handle, &header, sizeof header);
      if (result == MMSYSERR_NOERROR) result = Enqueue(i);
    }
    if (result == MMSYSERR_NOERROR) result = Api::waveInStart(handle);
    if (result != MMSYSERR_NOERROR) {
      Close();
      return ErrorFromMmresult(result);
    }
    return CaptureOk;
  }

  CaptureError Drain(std::chrono::milliseconds timeout, BlockSink& sink) override {
    if (device_.handle == nullptr) return CaptureNoDevice;
    if (!dead_.empty() && Clock::now() >= dead_retry_at_) RetryDeadStreams();
    if (!parked_.empty()) timeout = std::min(timeout, UntilDue(parked_at_ + EmptyBufferRetry));
    Api::WaitForSingleObject(event_, static_cast<DWORD>(timeout.count()));
    const auto now = Clock::now();
    if (!parked_.empty() && now >= parked_at_ + EmptyBufferRetry) {
      for (int index : parked_) {
        const MMRESULT result = Enqueue(index);
        if (result != MMSYSERR_NOERROR) return ErrorFromMmresult(result);
      }
      parked_.clear();
    }
    // Windows returns buffers in the order they were queued.
    while (queue_.count > 0) {
      const int index = queue_.Front();
      WAVEHDR& header = device_.buffers->headers[index];
      if ((Flags(header) & WHDR_DONE) == 0) break;
      queue_.PopFront();
      if (header.dwBytesRecorded == 0) {
        if (parked_.empty()) parked_at_ = now;
        parked_.push_back(index);
        continue;
      }
      const bool more = sink.OnBlock(reinterpret_cast<const int16_t*>(header.lpData),
                                     header.dwBytesRecorded / sizeof(int16_t));
      const MMRESULT result = Enqueue(index);
      if (result != MMSYSERR_NOERROR) return ErrorFromMmresult(result);
      if (!more) break;
    }
    return CaptureOk;
  }

  void Close() override {
    if (device_.handle == nullptr) return;
    queue_ = Queue{};
    parked_.clear();
    if (!Shut(device_, ResetWait)) dead_.push_back(std::move(device_));
    device_ = Device{};
  }

  void Wake() override { Api::SetEvent(event_); }

 private:
  using Clock = std::chrono::steady_clock;

  // 100 ms of audio queued: Wine delivers on a 10 ms tick, p99 about 23 ms
  // between buffers, now and then a late tick and then two buffers; 8 buffers
  // of 10 ms never dropped audio there even with both cores busy, 2-4 of 5 ms
  // did. Two more leave room for drivers with coarser periods.
  static constexpr int BufferCount = 10;
  // How long a reset may take to return the queued buffers.
  static constexpr std::chrono::milliseconds ResetWait{200};
  // A dead endpoint's empty buffers go back to it this often, not at once.
  static constexpr std::chrono::milliseconds EmptyBufferRetry{100};
  // How often a dead stream's close is retried while recording goes on.
  static constexpr std::chrono::milliseconds DeadStreamRetry{1000};

  struct Buffers {
    WAVEHDR headers[BufferCount];
    std::vector<char> memory;
  };

  struct Device {
    HWAVEIN handle = nullptr;
    std::unique_ptr<Buffers> buffers;
  };

  // The buffers in the device's queue, oldest first.
  struct Queue {
    int indices[BufferCount] = {};
    int front = 0;
    int count = 0;
    int Front() const { return indices[front]; }
    void PopFront() {
      front = (front + 1) % BufferCount;
      --count;
    }
    void PushBack(int index) { indices[(front + count++) % BufferCount] = index; }
  };

  // Never destroyed. Backends live one after another, each on its own
  // recording thread, so this is never reached from two threads at once.
  static std::vector<Device>& LeftToSystem() {
    static auto* const left = new std::vector<Device>;
    return *left;
  }

  // The audio layer sets the flags from its own thread, after the samples.
  static DWORD Flags(const WAVEHDR& header) { return __atomic_load_n(&header.dwFlags, __ATOMIC_ACQUIRE); }

  static std::chrono::milliseconds UntilDue(Clock::time_point due) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
  }

  MMRESULT Enqueue(int index) {
    WAVEHDR& header = device_.buffers->headers[index];
    header.dwFlags &= ~WHDR_DONE;
    header.dwBytesRecorded = 0;
    const MMRESULT result = Api::waveInAddBuffer(device_.handle, &header, sizeof header);
    if (result == MMSYSERR_NOERROR) queue_.PushBack(index);
    return result;
  }

  // Stops the device and closes it, waiting up to `wait` for the reset to
  // return its buffers. False, with the device left as it was, when the close
  // is refused because buffers are still queued.
  bool Shut(Device& device, std::chrono::milliseconds wait) {
    Api::waveInReset(device.handle);
    const auto give_up = Clock::now() + wait;
    bool all_back;
    for (;;) {
      all_back = true;
      for (const WAVEHDR& header : device.buffers->headers) {
        if ((Flags(header) & WHDR_INQUEUE) != 0 && (Flags(header) & WHDR_DONE) == 0) all_back = false;
      }
      if (all_back || Clock::now() >= give_up) break;
      Api::WaitForSingleObject(event_, static_cast<DWORD>(std::max<int64_t>(1, UntilDue(give_up).count())));
    }
    if (all_back) {
      for (WAVEHDR& header : device.buffers->headers) {
        if ((Flags(header) & WHDR_PREPARED) != 0) Api::waveInUnprepareHeader(device.handle, &header, sizeof header);
      }
    }
    if (Api::waveInClose(device.handle) != MMSYSERR_NOERROR) return false;
    // Closed with buffers still queued (Wine allows it): the driver may yet
    // write into them.
    if (!all_back) static_cast<void>(device.buffers.release());
    device = Device{};
    return true;
  }

  // No waiting here: a dead stream has had its wait, and this runs between
  // blocks of the live one.
  void RetryDeadStreams() {
    for (size_t i = 0; i < dead_.size();) {
      if (Shut(dead_[i], std::chrono::milliseconds(0))) {
        dead_.erase(dead_.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        ++i;
      }
    }
    dead_retry_at_ = Clock::now() + DeadStreamRetry;
  }

  HANDLE event_;
  Device device_;
  std::vector<Device> dead_;  // streams whose close was refused, oldest first
  Clock::time_point dead_retry_at_;
  Queue queue_;
  std::vector<int> parked_;  // empty buffers waiting for EmptyBufferRetry
  Clock::time_point parked_at_;
};
