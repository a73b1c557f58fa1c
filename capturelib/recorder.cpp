// The recorder and its recording thread, whose states recorder.h tabulates
// beside their timings. No call waits for the thread without a bound (an
// audio layer can hang in an open for seconds): a thread late to answer is
// left to quit once let go, and the next init waits for it.
#include "capturelib/recorder.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <utility>

#include "capturelib/sample_ring.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t FirstHandle = 0x10000;
constexpr milliseconds FreeWait{400};  // free runs in WM_DESTROY: well inside half a second
constexpr milliseconds OpenWait{10000};
constexpr milliseconds OldThreadWait{500};
thread_local bool InsideProc = false;

enum class Request { None, Start, Quit };
struct Session {  // what a start asks the thread to record, at Recorder::frequency
  uint32_t handle = 0;
  CaptureRecordProc proc = nullptr;
  void* user = nullptr;
};

struct Recorder {  // the data and level calls take no lock
  std::mutex calls_lock;  // serialises init, start and free; guards what follows, up to control_lock
  uint32_t last_handle = FirstHandle;
  BackendFactory factory;
  RecorderTiming timing;
  std::thread thread;  // joinable while initialised

  std::mutex control_lock;  // taken after calls_lock; guards what follows, up to the data path
  std::condition_variable control_changed;
  Request request = Request::None;
  Session requested;  // taken by the thread with the start
  std::optional<CaptureError> reply;  // to the latest request, once given
  bool thread_running = false;  // this thread, or one left behind, has not ended
  RecordingBackend* backend = nullptr;  // to wake the thread, until it is done with it

  SampleRing ring;
  std::atomic<uint32_t> current_handle{0};  // not 0 while recording
  std::atomic<uint32_t> frequency{0};  // of the latest start

  void Reply(CaptureError result) {
    std::lock_guard<std::mutex> lock(control_lock);
    reply = result;
    control_changed.notify_all();
  }

  // With both locks held. The thread answers within a Drain slice or an Open.
  void Post(Request what) {
    request = what;
    reply.reset();
    control_changed.notify_all();
    if (backend != nullptr) backend->Wake();
  }

  // A thread that does not answer in time is left to quit: uninitialised.
  CaptureError AwaitReply() {
    std::unique_lock<std::mutex> lock(control_lock);
    if (control_changed.wait_for(lock, OpenWait, [&] { return reply || backend == nullptr; })) {
      return reply.value_or(CaptureDriverError);
    }
    Post(Request::Quit);
    thread.detach();
    return CaptureDriverError;
  }
};

class RecordingThread final : BlockSink {  // the thread's own state, on its stack
 public:
  RecordingThread(Recorder& recorder, RecordingBackend& backend, const RecorderTiming& timing)
      : recorder_(recorder), backend_(backend), timing_(timing), allowance_(timing.first_block_allowance) {}

  // The probe's failure, unanswered; else CaptureOk once quit.
  CaptureError Run() {
    const CaptureError probed = backend_.Probe();
    if (probed != CaptureOk) return probed;
    recorder_.Reply(CaptureOk);
    while (state_ != State::Quitting) Step();
    return CaptureOk;
  }

 private:
  enum class State { Idle, Recording, WaitingToReopen, StoppedByProc, Quitting };

  // Waits for a request where the state has nothing else to do (Recording: in Drain, which a Post wakes).
  void Step() {
    std::unique_lock<std::mutex> lock(recorder_.control_lock);
    auto posted = [&] { return recorder_.request != Request::None; };
    if (state_ == State::Idle || state_ == State::StoppedByProc) {
      recorder_.control_changed.wait(lock, posted);
    } else if (state_ == State::WaitingToReopen) {
      recorder_.control_changed.wait_until(lock, std::min(reopen_at_, Clock::now() + timing_.wait_slice), posted);
    }
    if (recorder_.request == Request::Start) session_ = recorder_.requested;
    const Request request = std::exchange(recorder_.request, Request::None);  // a quit posted meanwhile waits
    lock.unlock();
    if (request == Request::Quit) {
      backend_.Close();  // free waits for the thread's end, not for a reply
      state_ = State::Quitting;
    } else if (request == Request::Start) {
      recorder_.Reply(Open(State::Idle));
    } else if (state_ == State::Recording) {
      Drain();
    } else if (state_ == State::WaitingToReopen && Clock::now() >= reopen_at_) {
      Open(State::WaitingToReopen);
    }
  }

  CaptureError Open(State on_failure) {
    const CaptureError opened = backend_.Open(RecordFormat{recorder_.frequency.load(std::memory_order_relaxed)});
    const auto now = Clock::now();
    state_ = opened == CaptureOk ? State::Recording : on_failure;
    reopen_at_ = now + timing_.reopen_interval;
    silence_at_ = Clock::time_point::max();  // nothing recorded yet to fall silent
    if (opened == CaptureOk) {
      recorder_.ring.MarkSilence();  // nothing of an earlier recording
      // A slow device is waited for longer at each open, not reopened at the
      // same pace for ever; its first block sets the allowance back.
      lost_at_ = now + allowance_;
      allowance_ = std::min(2 * allowance_, timing_.first_block_allowance_limit);
    }
    return opened;
  }

  void Drain() {
    const auto due = std::chrono::ceil<milliseconds>(silence_at_ - Clock::now());
    const CaptureError drained = backend_.Drain(std::clamp(due, milliseconds(0), timing_.wait_slice), *this);
    const auto now = Clock::now();
    if (state_ == State::Recording && (drained != CaptureOk || now >= lost_at_)) {
      state_ = State::WaitingToReopen;
      reopen_at_ = now;
    }
    if (state_ != State::Recording) backend_.Close();
    if (state_ != State::Recording || now >= silence_at_) {
      recorder_.ring.MarkSilence();
      silence_at_ = Clock::time_point::max();
    }
  }

  bool OnBlock(const int16_t* samples, size_t count) override {
    if (count == 0) return true;  // an empty buffer is no sign of life
    recorder_.ring.Write(samples, count);
    const auto now = Clock::now();
    silence_at_ = now + timing_.silence_after;
    lost_at_ = now + timing_.stall_after;
    allowance_ = timing_.first_block_allowance;
    if (session_.proc == nullptr) return true;
    const bool keep = session_.proc(session_.handle, samples, static_cast<uint32_t>(count * sizeof(int16_t)),
                                    session_.user) != 0;
    if (!keep) state_ = State::StoppedByProc;
    return keep;
  }

  Recorder& recorder_;
  RecordingBackend& backend_;
  const RecorderTiming timing_;
  State state_ = State::Idle;
  Session session_;
  Clock::time_point silence_at_, lost_at_, reopen_at_;
  milliseconds allowance_;  // for the next open's first block
};

// Open allocates. A failure stops the recording, not the process: the call
// waiting for it learns why, and a recording reads silent until freed.
void RecordingThreadMain(Recorder& recorder, std::unique_ptr<RecordingBackend> backend, RecorderTiming timing) {
  InsideProc = true;  // the callback is all that runs on this thread besides us
  backend->OnThreadStart();
  CaptureError failure = CaptureOk;
  try {
    failure = RecordingThread(recorder, *backend, timing).Run();
  } catch (const std::bad_alloc&) {
    failure = CaptureOutOfMemory;
  } catch (...) {
    failure = CaptureDriverError;
  }
  {
    std::lock_guard<std::mutex> lock(recorder.control_lock);
    if (failure != CaptureOk) {
      recorder.ring.MarkSilence();
      recorder.reply = failure;
    }
    recorder.backend = nullptr;
    recorder.control_changed.notify_all();
  }
  backend->OnThreadEnd();
  backend.reset();  // outside the lock: a close may hang, a free may not
  std::lock_guard<std::mutex> lock(recorder.control_lock);
  recorder.thread_running = false;
  recorder.control_changed.notify_all();
}

// Never destroyed: at exit without a free, no destructor may meet a thread the system ended.
Recorder& TheRecorder() {
  static Recorder* const recorder = new Recorder;
  return *recorder;
}

}  // namespace

void SetRecordingBackendFactory(BackendFactory factory) {
  std::lock_guard<std::mutex> lock(TheRecorder().calls_lock);
  TheRecorder().factory = std::move(factory);
}

void SetRecorderTiming(const RecorderTiming& timing) {
  std::lock_guard<std::mutex> lock(TheRecorder().calls_lock);
  TheRecorder().timing = timing;
}

CaptureError InitRecording() {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> calls(recorder.calls_lock);
  if (recorder.thread.joinable()) return CaptureAlreadyInitialised;
  try {
    std::unique_lock<std::mutex> lock(recorder.control_lock);
    // A thread that an earlier free had to leave behind goes first.
    if (!recorder.control_changed.wait_for(lock, OldThreadWait, [&] { return !recorder.thread_running; })) {
      return CaptureDeviceBusy;
    }
    std::unique_ptr<RecordingBackend> backend = recorder.factory ? recorder.factory() : CreateDefaultBackend();
    if (!backend) return CaptureNoDevice;
    RecordingBackend* const thread_backend = backend.get();
    recorder.thread = std::thread(RecordingThreadMain, std::ref(recorder), std::move(backend), recorder.timing);
    // The new thread reaches none of this before the lock is let go.
    recorder.request = Request::None;  // a free's quit that a failed thread never took
    recorder.reply.reset();
    recorder.backend = thread_backend;
    recorder.thread_running = true;
  } catch (const std::bad_alloc&) {
    return CaptureOutOfMemory;
  } catch (...) {
    return CaptureDriverError;
  }
  const CaptureError probed = recorder.AwaitReply();
  if (probed != CaptureOk && recorder.thread.joinable()) recorder.thread.join();  // it ends by itself
  return probed;
}

CaptureError StartRecording(uint32_t frequency, uint32_t channels, uint32_t flags, CaptureRecordProc proc,
                            void* user, uint32_t& handle) {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> calls(recorder.calls_lock);
  if (!recorder.thread.joinable()) return CaptureNotInitialised;
  if (recorder.current_handle.load(std::memory_order_relaxed) != 0) return CaptureDeviceBusy;
  const bool recordable = channels == 1 && flags == 0 && frequency >= LowestFrequency && frequency <= HighestFrequency;
  if (!recordable) return CaptureFormatUnsupported;
  handle = ++recorder.last_handle;
  // A device in the middle of a switch (a Bluetooth headset changing profile)
  // can refuse an open for a moment: a start gives it a little while.
  const auto give_up = Clock::now() + recorder.timing.start_retries_for;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(recorder.control_lock);
      recorder.requested = Session{handle, proc, user};
      recorder.frequency.store(frequency, std::memory_order_relaxed);  // not recording: no level call reads it
      recorder.Post(Request::Start);
    }
    const CaptureError started = recorder.AwaitReply();
    if (started == CaptureOk) break;
    const bool may_pass = started == CaptureNoDevice || started == CaptureDeviceBusy || started == CaptureDriverError;
    if (!may_pass || !recorder.thread.joinable() || Clock::now() >= give_up) return started;
    std::this_thread::sleep_for(recorder.timing.reopen_interval);
  }
  recorder.current_handle.store(handle, std::memory_order_release);
  return CaptureOk;
}

CaptureError FreeRecording() {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> calls(recorder.calls_lock);
  if (!recorder.thread.joinable()) return CaptureNotInitialised;
  recorder.current_handle.store(0, std::memory_order_release);
  std::unique_lock<std::mutex> lock(recorder.control_lock);
  recorder.Post(Request::Quit);
  const bool finished = recorder.control_changed.wait_for(lock, FreeWait, [&] { return !recorder.thread_running; });
  lock.unlock();
  // A thread stuck in the audio layer quits by itself once it is let go.
  finished ? recorder.thread.join() : recorder.thread.detach();
  return CaptureOk;
}

bool IsCurrentRecording(uint32_t handle) {
  return handle != 0 && handle == TheRecorder().current_handle.load(std::memory_order_acquire);
}
uint32_t RecordingFrequency() { return TheRecorder().frequency.load(std::memory_order_relaxed); }
void ReadNewestSamples(void* out, size_t count) { TheRecorder().ring.ReadNewest(out, count); }
bool InsideRecordProc() { return InsideProc; }
