// The recording backend: where blocks of samples come from.
//
// Threads: a backend is made on the thread that calls BASS_RecordInit (the
// GUI thread), before the recorder's recording thread starts. From then on
// that thread alone uses it, and destroys it right after OnThreadEnd;
// only Wake may be called from any thread. Its calls, in order:
//
//   OnThreadStart  first, on the recording thread: per-thread set-up (the
//           waveIn backend raises the thread's priority and names it; a COM
//           backend would start COM here). Optional.
//   Probe   once, right after that: is there a default input device?
//           CaptureOk or the failure's code (CaptureNoDevice when none).
//   Open    open the default device for the format and start recording.
//           CaptureOk or the failure's code. Called again, after Close, to
//           reopen after a loss. May throw std::bad_alloc, leaving nothing
//           open: the recording thread then ends with CaptureOutOfMemory.
//   Drain   wait up to timeout for recorded blocks (or a Wake), then hand
//           every finished block to the sink, oldest first, and requeue it.
//           Stops early when the sink returns false. CaptureOk, or a code
//           when the device failed (the recorder then closes and reopens).
//           A device that silently stops delivering is the recorder's to
//           notice: Drain just finds nothing.
//   Close   stop and close, with bounded waits only: after a loss, buffers
//           the device never returns are leaked rather than waited for.
//   OnThreadEnd  last, whatever came before (even a failed Probe or an
//           Open that threw): undoes OnThreadStart, releasing what belongs
//           to the thread (a COM backend its interfaces, then COM). Optional.
//   Wake    make a Drain in progress (or the next one) return at once.
//
// CreateDefaultBackend gives the product's; capturelib/README.md lists them all.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "capturelib/contract.h"

// Always 16-bit mono.
struct RecordFormat {
  uint32_t frequency = 44100;
};

// About 10 ms of audio per block: short enough that the newest sample is
// never far behind, long enough for the audio layer's own tick.
inline uint32_t BlockSamples(const RecordFormat& format) { return format.frequency / 100; }

class BlockSink {
 public:
  virtual bool OnBlock(const int16_t* samples, size_t count) = 0;

 protected:
  ~BlockSink() = default;
};

class RecordingBackend {
 public:
  virtual ~RecordingBackend() = default;
  virtual void OnThreadStart() {}
  virtual void OnThreadEnd() {}
  virtual CaptureError Probe() = 0;
  virtual CaptureError Open(const RecordFormat& format) = 0;
  virtual CaptureError Drain(std::chrono::milliseconds timeout, BlockSink& sink) = 0;
  virtual void Close() = 0;
  virtual void Wake() = 0;
};

std::unique_ptr<RecordingBackend> CreateDefaultBackend();
