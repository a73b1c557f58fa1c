// A model of Windows' waveIn for tests, played in real time: the real
// WaveInBackend runs against it (WaveInBackend<ModelWaveIn>) instead of winmm.
//
// It follows Windows' documented behaviour, not Wine's: buffers come back in
// the order they were added, with WHDR_DONE set, WHDR_INQUEUE cleared and
// dwBytesRecorded filled in; waveInUnprepareHeader and waveInClose refuse with
// WAVERR_STILLPLAYING while a buffer is queued; waveInReset returns the queued
// buffers marked done; the event is signalled for the open, for the close and
// for every buffer returned.
//
// One fault is scripted per model, active from fault_at until return_at after
// the model's creation:
//   DeadEndpoint  every queued buffer comes back at once with 0 bytes, and so
//                 does every buffer added afterwards, at once;
//   StuckBuffers  buffers stop coming back; waveInReset fails
//                 (MMSYSERR_NODRIVER) and keeps them, so waveInClose refuses;
//   NoDriver      queued buffers come back empty; waveInAddBuffer, waveInReset
//                 and waveInOpen fail with MMSYSERR_NODRIVER;
//   SlowOpen      buffers stop coming back; waveInOpen blocks for slow_open,
//                 then fails unless the device has returned meanwhile;
//   NoDevice      buffers stop coming back; no device to open
//                 (MMSYSERR_BADDEVICEID) until it returns;
//   BuffersNeverReturn  as NoDevice, but the streams open at the loss keep
//                 their buffers for good: waveInReset fails on them even
//                 after the return, so their close is always refused.
//   AccessDenied  buffers stop coming back; waveInOpen fails with
//                 MMSYSERR_ERROR, as when microphone access is switched off;
//   Sleep         the system sleeps: every waveIn call and every wait on an
//                 event returns only at the wake, while the clock runs on;
//                 then the streams deliver again;
//   SleepKillsStreams  as Sleep, but the streams open at the sleep never
//                 deliver again: only a new open does.
// A device opened after the return delivers blocks of returned_block_ms.
// A stream's first buffer comes first_block_delay after its open at the
// earliest (a slow device), with or without a fault.
//
// It counts open handles (now and at most; live ones, and dead ones whose
// close has been refused), waveIn calls, refused closes and
// protocol violations: a buffer added twice or unprepared, a header
// unprepared while queued, a call on a closed handle. Memory released while
// the device may still write into it shows under AddressSanitizer: the
// model writes every delivered block into the buffer's memory.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capturelib/backends/wavein_api.h"

class WaveInModel {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Fault {
    None, DeadEndpoint, StuckBuffers, NoDriver, SlowOpen, NoDevice, BuffersNeverReturn, AccessDenied, Sleep,
    SleepKillsStreams
  };

  struct Script {
    Fault fault = Fault::None;
    std::chrono::milliseconds fault_at{0};
    std::chrono::milliseconds return_at{0};
    uint32_t block_ms = 10;
    uint32_t returned_block_ms = 10;
    std::chrono::milliseconds slow_open{3000};
    std::chrono::milliseconds first_block_delay{0};
  };

  struct Counts {
    int open_handles = 0;
    int most_open_handles = 0;
    int most_live_handles = 0;
    int most_dead_handles = 0;
    int refused_closes = 0;
    int opens = 0;  // that succeeded
    uint64_t calls = 0;  // waveIn calls of every kind
    std::vector<std::string> violations;
    Clock::time_point last_real_block;  // the last buffer returned with samples
  };

  // Installs itself as the waveIn that ModelWaveIn's calls reach.
  explicit WaveInModel(const Script& script);
  ~WaveInModel();

  Counts Read() const;
  Clock::time_point Began() const { return began_; }

  UINT GetNumDevs();
  MMRESULT Open(HWAVEIN* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD flags);
  MMRESULT Prepare(HWAVEIN device, WAVEHDR* header, UINT size);
  MMRESULT Unprepare(HWAVEIN device, WAVEHDR* header, UINT size);
  MMRESULT AddBuffer(HWAVEIN device, WAVEHDR* header, UINT size);
  MMRESULT Start(HWAVEIN device);
  MMRESULT Reset(HWAVEIN device);
  MMRESULT Close(HWAVEIN device);
  // Returns at once, or at the wake while the system sleeps.
  void AwaitWake() const;

 private:
  struct Stream {
    bool open = true;
    bool started = false;
    bool dead = false;            // its close has been refused
    bool stuck_for_good = false;  // BuffersNeverReturn: open at the loss
    bool silent_for_good = false;  // SleepKillsStreams: open at the sleep
    Clock::time_point first_block_at;
    HANDLE event = nullptr;
    uint32_t block_ms = 10;
    Clock::time_point next_block_at;
    std::deque<WAVEHDR*> queue;
  };

  bool FaultActive(Clock::time_point now) const;
  bool Delivers(Clock::time_point now) const;
  Stream* Find(HWAVEIN device, const char* call);
  void Violation(std::string what);
  void CountHandles();
  void ReturnBuffer(Stream& stream, uint32_t bytes);
  void ReturnAll(Stream& stream);
  void Run();

  const Script script_;
  const Clock::time_point began_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::map<uintptr_t, Stream> streams_;
  uintptr_t last_id_ = 0;
  bool fault_began_ = false;
  bool stopping_ = false;
  uint64_t next_sample_ = 0;
  Counts counts_;
  std::thread device_thread_;
};

// winmm's waveIn and event calls, with their own signatures, on the model.
struct ModelWaveIn {
  static UINT waveInGetNumDevs();
  static MMRESULT waveInOpen(HWAVEIN* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                             DWORD_PTR instance, DWORD flags);
  static MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, UINT size);
  static MMRESULT waveInUnprepareHeader(HWAVEIN device, WAVEHDR* header, UINT size);
  static MMRESULT waveInAddBuffer(HWAVEIN device, WAVEHDR* header, UINT size);
  static MMRESULT waveInStart(HWAVEIN device);
  static MMRESULT waveInReset(HWAVEIN device);
  static MMRESULT waveInClose(HWAVEIN device);

  static HANDLE CreateEventW(void* attributes, BOOL manual_reset, BOOL initially_set, const wchar_t* name);
  static BOOL SetEvent(HANDLE event);
  static BOOL ResetEvent(HANDLE event);
  static DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
  static BOOL CloseHandle(HANDLE event);
  static void PrepareRecordingThread() {}
};
