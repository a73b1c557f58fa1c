// Windows recording backend: waveIn on the default device (WAVE_MAPPER).
//
// Implements: Probe (waveInGetNumDevs), Open (waveInOpen with CALLBACK_EVENT,
// queue of buffers, waveInStart), Drain (wait on the event, hand over every
// finished buffer in queue order, requeue it), Close (reset, bounded wait,
// unprepare, close; after a loss, leak what never came back), Wake.
//
// Every waveIn call is made on the recorder's recording thread: waveIn calls
// from inside a waveIn callback can deadlock on Windows, so the callback is
// only an auto-reset event, and one wake may stand for several buffers.
#include "capturelib/wavein_backend.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <vector>

#include "capturelib/backend.h"

namespace {

// Wine delivers on a 10 ms tick with up to 25-35 ms of jitter: 8 buffers of
// 10 ms record without gaps even on a saturated machine, 4 of 5 ms do not.
constexpr int BufferCount = 10;
constexpr DWORD ResetWaitMilliseconds = 200;

class WaveInBackend final : public RecordingBackend {
 public:
  WaveInBackend() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~WaveInBackend() override {
    Close();
    if (event_ != nullptr) CloseHandle(event_);
  }

  void OnThreadStart() override { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

  CaptureError Probe() override {
    if (event_ == nullptr) return CaptureOutOfMemory;
    return waveInGetNumDevs() == 0 ? CaptureNoDevice : CaptureOk;
  }

  CaptureError Open(const RecordFormat& format) override {
    Close();
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<WORD>(format.channels);
    wave.nSamplesPerSec = format.frequency;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = static_cast<WORD>(format.channels * sizeof(int16_t));
    wave.nAvgBytesPerSec = format.frequency * wave.nBlockAlign;
    ResetEvent(event_);
    HWAVEIN device = nullptr;
    MMRESULT result = waveInOpen(&device, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(event_), 0,
                                 CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) return ErrorFromMmresult(result);
    device_ = device;
    const size_t block_bytes = BlockSamples(format) * wave.nBlockAlign;
    buffers_ = std::make_unique<Buffers>();
    buffers_->memory.assign(block_bytes * BufferCount, 0);
    for (int i = 0; i < BufferCount; ++i) {
      WAVEHDR& header = buffers_->headers[i];
      header = WAVEHDR{};
      header.lpData = buffers_->memory.data() + i * block_bytes;
      header.dwBufferLength = static_cast<DWORD>(block_bytes);
      result = waveInPrepareHeader(device_, &header, sizeof header);
      if (result == MMSYSERR_NOERROR) result = waveInAddBuffer(device_, &header, sizeof header);
      if (result != MMSYSERR_NOERROR) break;
    }
    if (result == MMSYSERR_NOERROR) result = waveInStart(device_);
    if (result != MMSYSERR_NOERROR) {
      Close();
      return ErrorFromMmresult(result);
    }
    next_ = 0;
    return CaptureOk;
  }

  CaptureError Drain(std::chrono::milliseconds timeout, BlockSink& sink) override {
    if (device_ == nullptr) return CaptureNoDevice;
    WaitForSingleObject(event_, static_cast<DWORD>(timeout.count()));
    for (int drained = 0; drained < BufferCount; ++drained) {
      WAVEHDR& header = buffers_->headers[next_];
      if ((Flags(header) & WHDR_DONE) == 0) break;
      const bool more = sink.OnBlock(reinterpret_cast<const int16_t*>(header.lpData),
                                     header.dwBytesRecorded / sizeof(int16_t));
      header.dwFlags &= ~WHDR_DONE;
      header.dwBytesRecorded = 0;
      const MMRESULT result = waveInAddBuffer(device_, &header, sizeof header);
      if (result != MMSYSERR_NOERROR) return ErrorFromMmresult(result);
      next_ = (next_ + 1) % BufferCount;
      if (!more) break;
    }
    return CaptureOk;
  }

  void Close() override {
    if (device_ == nullptr) return;
    waveInReset(device_);
    // Windows and Wine return the buffers during the reset; after a loss Wine
    // never does, and waveInReset fails.
    bool all_back = false;
    for (DWORD waited = 0;; waited += 5) {
      all_back = true;
      for (WAVEHDR& header : buffers_->headers) {
        if ((Flags(header) & WHDR_INQUEUE) != 0 && (Flags(header) & WHDR_DONE) == 0) all_back = false;
      }
      if (all_back || waited >= ResetWaitMilliseconds) break;
      Sleep(5);
    }
    if (all_back) {
      for (WAVEHDR& header : buffers_->headers) {
        if ((Flags(header) & WHDR_PREPARED) != 0) waveInUnprepareHeader(device_, &header, sizeof header);
      }
    }
    waveInClose(device_);
    device_ = nullptr;
    // The device may still own queued buffers: leak them rather than have it
    // write into freed memory.
    if (!all_back) static_cast<void>(buffers_.release());
    buffers_.reset();
  }

  void Wake() override { SetEvent(event_); }

 private:
  struct Buffers {
    WAVEHDR headers[BufferCount];
    std::vector<char> memory;
  };

  // The audio layer sets the flags from its own thread.
  static DWORD Flags(const WAVEHDR& header) { return *static_cast<const volatile DWORD*>(&header.dwFlags); }

  HANDLE event_;
  HWAVEIN device_ = nullptr;
  std::unique_ptr<Buffers> buffers_;
  int next_ = 0;
};

}  // namespace

CaptureError ErrorFromMmresult(uint32_t result) {
  switch (result) {
    case MMSYSERR_NOERROR:
      return CaptureOk;
    case MMSYSERR_BADDEVICEID:
    case MMSYSERR_NODRIVER:
    case MMSYSERR_NOTENABLED:
      return CaptureNoDevice;
    case MMSYSERR_ALLOCATED:
      return CaptureDeviceBusy;
    case WAVERR_BADFORMAT:
      return CaptureFormatUnsupported;
    case MMSYSERR_NOMEM:
      return CaptureOutOfMemory;
    case MMSYSERR_INVALPARAM:
    case MMSYSERR_INVALFLAG:
      return CaptureBadArgument;
    default:
      return CaptureDriverError;
  }
}

std::unique_ptr<RecordingBackend> CreateDefaultBackend() { return std::make_unique<WaveInBackend>(); }
