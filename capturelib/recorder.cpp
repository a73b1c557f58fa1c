// The recorder and its recording thread.
//
// Two locks, both off the data path: calls_lock serialises init, start and
// free; control_lock guards the requests passed to the recording thread, its
// replies, whether it still runs, and the backend pointer. The data and level
// calls read only the sample ring and two atomics.
//
// The calls never wait for the recording thread without a bound: an audio
// layer can hang in an open or a close for seconds (a Bluetooth headset
// does). A thread that does not answer in time is left to finish on its own:
// it sees the quit request once the audio layer lets it go, closes the device
// and releases its backend, and the next init waits for that.
#include "capturelib/recorder.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "capturelib/sample_ring.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t FirstHandle = 0x10000;

// How long the calls wait for the recording thread. Free runs in the
// window's WM_DESTROY and must stay well inside half a second; an open may
// take seconds; an init after an abandoned thread waits a little for it.
constexpr std::chrono::milliseconds FreeWait{400};
constexpr std::chrono::milliseconds OpenWait{10000};
constexpr std::chrono::milliseconds OldThreadWait{500};

thread_local bool InsideProc = false;

enum class Request { None, Start, Quit };

struct Recorder final : BlockSink {
  std::mutex calls_lock;
  bool initialised = false;  // guarded by calls_lock
  bool started = false;
  uint32_t last_handle = FirstHandle;
  BackendFactory factory;
  RecorderTiming timing;
  std::thread thread;

  // Requests to the recording thread and its replies.
  std::mutex control_lock;
  std::condition_variable control_changed;
  Request request = Request::None;
  bool replied = false;
  CaptureError reply = CaptureOk;
  RecordFormat requested_format;
  CaptureRecordProc requested_proc = nullptr;
  void* requested_user = nullptr;
  uint32_t requested_handle = 0;
  bool thread_running = false;
  // Created by init, released by the recording thread as it ends.
  std::unique_ptr<RecordingBackend> backend;

  // The data path.
  SampleRing ring;
  std::atomic<uint32_t> current_handle{0};
  std::atomic<uint32_t> frequency{0};

  // The recording thread's own state.
  RecordFormat format;
  CaptureRecordProc proc = nullptr;
  void* user = nullptr;
  uint32_t handle = 0;
  bool recording = false;
  bool device_open = false;
  bool got_first_block = false;
  bool silence_served = false;
  bool stopped_by_proc = false;
  Clock::time_point opened_at, last_block_at, next_open_at;

  bool OnBlock(const int16_t* samples, size_t count) override {
    if (count == 0) return true;  // an empty buffer is no sign of life
    ring.Write(samples, count);
    last_block_at = Clock::now();
    got_first_block = true;
    silence_served = false;
    if (proc == nullptr) return true;
    InsideProc = true;
    const int32_t keep = proc(handle, samples, static_cast<uint32_t>(count * sizeof(int16_t)), user);
    InsideProc = false;
    if (keep == 0) stopped_by_proc = true;
    return keep != 0;
  }

  // A quit posted while the thread was busy with the request answered here
  // stays posted.
  void Reply(Request answered, CaptureError result) {
    std::lock_guard<std::mutex> lock(control_lock);
    if (request == answered) request = Request::None;
    replied = true;
    reply = result;
    control_changed.notify_all();
  }

  // Called by init/start/free with calls_lock and control_lock held. The
  // thread answers each request within a Drain slice or an Open.
  void Post(Request what) {
    request = what;
    replied = false;
    control_changed.notify_all();
    if (backend) backend->Wake();
  }

  // Init and start: false when the thread did not answer in time; it is then
  // told to quit and left to finish by itself.
  bool AwaitReply(CaptureError& result) {
    std::unique_lock<std::mutex> lock(control_lock);
    if (!control_changed.wait_for(lock, OpenWait, [&] { return replied; })) {
      Post(Request::Quit);
      lock.unlock();
      thread.detach();
      return false;
    }
    result = reply;
    return true;
  }

  // The end of the recording thread, on every path out of it.
  void Finish() {
    std::unique_ptr<RecordingBackend> finished;
    {
      std::lock_guard<std::mutex> lock(control_lock);
      finished = std::move(backend);
    }
    finished.reset();
    std::lock_guard<std::mutex> lock(control_lock);
    thread_running = false;
    control_changed.notify_all();
  }

  void LoseDevice(Clock::time_point now) {
    backend->Close();
    device_open = false;
    ring.MarkSilence();
    silence_served = true;
    next_open_at = now;
  }

  void OpenDevice(Clock::time_point now) {
    if (backend->Open(format) != CaptureOk) {
      next_open_at = now + timing.reopen_interval;
      return;
    }
    device_open = true;
    got_first_block = false;
    opened_at = now;
  }

  void WatchDevice(Clock::time_point now) {
    if (!got_first_block) {
      if (now - opened_at >= timing.first_block_allowance) LoseDevice(now);
      return;
    }
    const auto quiet = now - last_block_at;
    if (!silence_served && quiet >= timing.silence_after) {
      ring.MarkSilence();
      silence_served = true;
    }
    if (quiet >= timing.stall_after) LoseDevice(now);
  }

  // Waits for a request while there is no device to drain.
  Request WaitForRequest() {
    std::unique_lock<std::mutex> lock(control_lock);
    if (!recording) {
      control_changed.wait(lock, [&] { return request != Request::None; });
    } else if (!device_open) {
      const auto until = std::min(next_open_at, Clock::now() + timing.wait_slice);
      control_changed.wait_until(lock, until, [&] { return request != Request::None; });
    }
    return request;
  }

  void Start() {
    {
      std::lock_guard<std::mutex> lock(control_lock);
      format = requested_format;
      proc = requested_proc;
      user = requested_user;
      handle = requested_handle;
    }
    const CaptureError opened = backend->Open(format);
    if (opened == CaptureOk) {
      ring.MarkSilence();
      recording = true;
      device_open = true;
      got_first_block = false;
      silence_served = true;
      stopped_by_proc = false;
      opened_at = Clock::now();
    }
    Reply(Request::Start, opened);
  }

  // How long a Drain may wait: not past the moment silence is due.
  std::chrono::milliseconds DrainTimeout(Clock::time_point now) const {
    if (!got_first_block || silence_served) return timing.wait_slice;
    const auto due = std::chrono::ceil<std::chrono::milliseconds>(last_block_at + timing.silence_after - now);
    return std::clamp(due, std::chrono::milliseconds(0), timing.wait_slice);
  }

  void Run() {
    backend->OnThreadStart();
    const CaptureError probed = backend->Probe();
    Reply(Request::None, probed);
    if (probed == CaptureOk) Record();
    Finish();
  }

  void Record() {
    for (;;) {
      switch (WaitForRequest()) {
        case Request::Quit:
          if (device_open) backend->Close();
          device_open = false;
          recording = false;
          Reply(Request::Quit, CaptureOk);
          return;
        case Request::Start:
          Start();
          continue;
        case Request::None:
          break;
      }
      if (!recording) continue;
      if (!device_open) {
        const auto now = Clock::now();
        if (now >= next_open_at) OpenDevice(now);
        continue;
      }
      const CaptureError drained = backend->Drain(DrainTimeout(Clock::now()), *this);
      const auto now = Clock::now();
      if (stopped_by_proc) {
        backend->Close();
        device_open = false;
        recording = false;
        ring.MarkSilence();
      } else if (drained != CaptureOk) {
        LoseDevice(now);
      } else {
        WatchDevice(now);
      }
    }
  }
};

// Never destroyed: a process that ends without BASS_RecordFree must not run
// a destructor that meets a thread the system has already ended.
Recorder& TheRecorder() {
  static Recorder* const recorder = new Recorder;
  return *recorder;
}

}  // namespace

void SetRecordingBackendFactory(BackendFactory factory) {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> lock(recorder.calls_lock);
  recorder.factory = std::move(factory);
}

void SetRecorderTiming(const RecorderTiming& timing) {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> lock(recorder.calls_lock);
  recorder.timing = timing;
}

CaptureError InitRecording() {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> calls(recorder.calls_lock);
  if (recorder.initialised) return CaptureAlreadyInitialised;
  {
    // A recording thread that an earlier free had to leave behind goes first.
    std::unique_lock<std::mutex> lock(recorder.control_lock);
    if (!recorder.control_changed.wait_for(lock, OldThreadWait, [&] { return !recorder.thread_running; })) {
      return CaptureDeviceBusy;
    }
  }
  try {
    std::unique_ptr<RecordingBackend> backend = recorder.factory ? recorder.factory() : CreateDefaultBackend();
    if (!backend) return CaptureNoDevice;
    std::lock_guard<std::mutex> lock(recorder.control_lock);
    recorder.backend = std::move(backend);
    recorder.request = Request::None;
    recorder.replied = false;
    recorder.thread_running = true;
    try {
      recorder.thread = std::thread([&recorder] { recorder.Run(); });
    } catch (...) {
      recorder.thread_running = false;
      recorder.backend.reset();
      throw;
    }
  } catch (const std::bad_alloc&) {
    return CaptureOutOfMemory;
  } catch (const std::system_error&) {
    return CaptureDriverError;
  }
  CaptureError probed;
  if (!recorder.AwaitReply(probed)) return CaptureDriverError;
  if (probed != CaptureOk) {
    recorder.thread.join();
    return probed;
  }
  recorder.initialised = true;
  return CaptureOk;
}

CaptureError StartRecording(uint32_t frequency, uint32_t channels, uint32_t flags, CaptureRecordProc proc,
                            void* user, uint32_t& handle) {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> calls(recorder.calls_lock);
  if (!recorder.initialised) return CaptureNotInitialised;
  if (recorder.started) return CaptureDeviceBusy;
  if (channels != 1 || flags != 0 || frequency < LowestFrequency || frequency > HighestFrequency) {
    return CaptureFormatUnsupported;
  }
  handle = ++recorder.last_handle;
  {
    std::lock_guard<std::mutex> lock(recorder.control_lock);
    recorder.requested_format = RecordFormat{frequency, channels};
    recorder.requested_proc = proc;
    recorder.requested_user = user;
    recorder.requested_handle = handle;
    recorder.Post(Request::Start);
  }
  CaptureError started;
  if (!recorder.AwaitReply(started)) {
    recorder.initialised = false;  // the thread was left to quit by itself
    return CaptureDriverError;
  }
  if (started != CaptureOk) return started;
  recorder.frequency.store(frequency, std::memory_order_relaxed);
  recorder.current_handle.store(handle, std::memory_order_release);
  recorder.started = true;
  return CaptureOk;
}

CaptureError FreeRecording() {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> calls(recorder.calls_lock);
  if (!recorder.initialised) return CaptureNotInitialised;
  recorder.current_handle.store(0, std::memory_order_release);
  bool finished;
  {
    std::unique_lock<std::mutex> lock(recorder.control_lock);
    recorder.Post(Request::Quit);
    finished = recorder.control_changed.wait_for(lock, FreeWait, [&] { return !recorder.thread_running; });
  }
  // A thread stuck in the audio layer quits by itself once it is let go.
  if (finished) {
    recorder.thread.join();
  } else {
    recorder.thread.detach();
  }
  recorder.initialised = false;
  recorder.started = false;
  return CaptureOk;
}

bool IsCurrentRecording(uint32_t handle) {
  return handle != 0 && handle == TheRecorder().current_handle.load(std::memory_order_acquire);
}

uint32_t RecordingFrequency() { return TheRecorder().frequency.load(std::memory_order_relaxed); }

void ReadNewestSamples(void* out, size_t count) { TheRecorder().ring.ReadNewest(out, count); }

bool InsideRecordProc() { return InsideProc; }
