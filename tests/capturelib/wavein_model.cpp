#include "tests/capturelib/wavein_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "tests/support/tone.h"

namespace {

std::atomic<WaveInModel*> Current{nullptr};

// An auto-reset event, as CreateEventW(nullptr, FALSE, FALSE, nullptr) makes.
struct ModelEvent {
  std::mutex lock;
  std::condition_variable signalled;
  bool set = false;
};

ModelEvent* EventOf(HANDLE handle) { return static_cast<ModelEvent*>(handle); }

// Every event not yet closed. A backend leaves its event open for a stream
// that never let go; kept here, that is not taken for a leak.
std::mutex OpenEventsLock;
std::set<ModelEvent*>* const OpenEvents = new std::set<ModelEvent*>;

void Signal(HANDLE handle) {
  if (handle == nullptr) return;
  ModelEvent* event = EventOf(handle);
  std::lock_guard<std::mutex> lock(event->lock);
  event->set = true;
  event->signalled.notify_all();
}

// The device's side of a header: the flags the backend polls are published
// with release order after the samples and the byte count.
DWORD FlagsOf(const WAVEHDR* header) { return __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE); }
void SetFlags(WAVEHDR* header, DWORD flags) { __atomic_store_n(&header->dwFlags, flags, __ATOMIC_RELEASE); }

constexpr uint32_t SampleRate = 44100;

// The model that the calls reach, once it is awake.
WaveInModel& Awake() {
  WaveInModel& model = *Current.load();
  model.AwaitWake();
  return model;
}

}  // namespace

WaveInModel::WaveInModel(const Script& script) : script_(script), began_(Clock::now()) {
  Current.store(this);
  device_thread_ = std::thread([this] { Run(); });
}

WaveInModel::~WaveInModel() {
  {
    std::lock_guard<std::mutex> lock(lock_);
    stopping_ = true;
    changed_.notify_all();
  }
  device_thread_.join();
  Current.store(nullptr);
}

WaveInModel::Counts WaveInModel::Read() const {
  std::lock_guard<std::mutex> lock(lock_);
  return counts_;
}

bool WaveInModel::FaultActive(Clock::time_point now) const {
  return script_.fault != Fault::None && now >= began_ + script_.fault_at && now < began_ + script_.return_at;
}

bool WaveInModel::Delivers(Clock::time_point now) const { return !FaultActive(now); }

void WaveInModel::AwaitWake() const {
  const bool sleeps = script_.fault == Fault::Sleep || script_.fault == Fault::SleepKillsStreams;
  if (sleeps && FaultActive(Clock::now())) std::this_thread::sleep_until(began_ + script_.return_at);
}

WaveInModel::Stream* WaveInModel::Find(HWAVEIN device, const char* call) {
  ++counts_.calls;
  auto found = streams_.find(reinterpret_cast<uintptr_t>(device));
  if (found == streams_.end() || !found->second.open) {
    Violation(std::string(call) + " on a handle that is not open");
    return nullptr;
  }
  return &found->second;
}

void WaveInModel::Violation(std::string what) { counts_.violations.push_back(std::move(what)); }

void WaveInModel::CountHandles() {
  int open = 0, dead = 0;
  for (const auto& entry : streams_) {
    open += entry.second.open;
    dead += entry.second.open && entry.second.dead;
  }
  counts_.open_handles = open;
  counts_.most_open_handles = std::max(counts_.most_open_handles, open);
  counts_.most_live_handles = std::max(counts_.most_live_handles, open - dead);
  counts_.most_dead_handles = std::max(counts_.most_dead_handles, dead);
}

void WaveInModel::ReturnBuffer(Stream& stream, uint32_t bytes) {
  WAVEHDR* header = stream.queue.front();
  stream.queue.pop_front();
  header->dwBytesRecorded = bytes;
  SetFlags(header, (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE);
  if (bytes > 0) counts_.last_real_block = Clock::now();
  Signal(stream.event);
}

void WaveInModel::ReturnAll(Stream& stream) {
  while (!stream.queue.empty()) ReturnBuffer(stream, 0);
}

UINT WaveInModel::GetNumDevs() {
  std::lock_guard<std::mutex> lock(lock_);
  ++counts_.calls;
  const bool absent = FaultActive(Clock::now()) && (script_.fault == Fault::NoDevice ||
                                                     script_.fault == Fault::SlowOpen ||
                                                     script_.fault == Fault::BuffersNeverReturn);
  return absent ? 0 : 1;
}

MMRESULT WaveInModel::Open(HWAVEIN* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                           DWORD flags) {
  std::unique_lock<std::mutex> lock(lock_);
  ++counts_.calls;
  if (id != WAVE_MAPPER || flags != CALLBACK_EVENT || callback == 0 || format == nullptr ||
      format->wFormatTag != WAVE_FORMAT_PCM || format->wBitsPerSample != 16) {
    Violation("waveInOpen with arguments the backend never passes");
    return MMSYSERR_INVALPARAM;
  }
  if (FaultActive(Clock::now())) {
    switch (script_.fault) {
      case Fault::NoDriver:
        return MMSYSERR_NODRIVER;
      case Fault::NoDevice:
      case Fault::BuffersNeverReturn:
        return MMSYSERR_BADDEVICEID;
      case Fault::AccessDenied:
        return MMSYSERR_ERROR;
      case Fault::SlowOpen:
        // A hanging driver: the call blocks, the rest of the model goes on.
        lock.unlock();
        std::this_thread::sleep_for(script_.slow_open);
        lock.lock();
        if (FaultActive(Clock::now())) return MMSYSERR_BADDEVICEID;
        break;
      default:
        break;
    }
  }
  Stream stream;
  stream.event = reinterpret_cast<HANDLE>(callback);
  stream.block_ms = Clock::now() >= began_ + script_.return_at && script_.fault != Fault::None
                        ? script_.returned_block_ms
                        : script_.block_ms;
  stream.first_block_at = Clock::now() + script_.first_block_delay;
  const uintptr_t handle = ++last_id_;
  streams_.emplace(handle, stream);
  *device = reinterpret_cast<HWAVEIN>(handle);
  ++counts_.opens;
  CountHandles();
  Signal(stream.event);  // WIM_OPEN
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInModel::Prepare(HWAVEIN device, WAVEHDR* header, UINT size) {
  std::lock_guard<std::mutex> lock(lock_);
  if (Find(device, "waveInPrepareHeader") == nullptr) return MMSYSERR_INVALHANDLE;
  if (size != sizeof(WAVEHDR) || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  if (FlagsOf(header) & WHDR_INQUEUE) Violation("a queued header prepared again");
  SetFlags(header, header->dwFlags | WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInModel::Unprepare(HWAVEIN device, WAVEHDR* header, UINT size) {
  std::lock_guard<std::mutex> lock(lock_);
  if (Find(device, "waveInUnprepareHeader") == nullptr) return MMSYSERR_INVALHANDLE;
  if (size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (FlagsOf(header) & WHDR_INQUEUE) {
    Violation("a header unprepared while queued");
    return WAVERR_STILLPLAYING;
  }
  SetFlags(header, header->dwFlags & ~WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInModel::AddBuffer(HWAVEIN device, WAVEHDR* header, UINT size) {
  std::lock_guard<std::mutex> lock(lock_);
  Stream* stream = Find(device, "waveInAddBuffer");
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  const DWORD flags = FlagsOf(header);
  if ((flags & WHDR_PREPARED) == 0) {
    Violation("an unprepared buffer added");
    return WAVERR_UNPREPARED;
  }
  if (flags & WHDR_INQUEUE) {
    Violation("a buffer added twice");
    return WAVERR_STILLPLAYING;
  }
  const auto now = Clock::now();
  if (FaultActive(now) && script_.fault == Fault::NoDriver) return MMSYSERR_NODRIVER;
  header->dwBytesRecorded = 0;
  SetFlags(header, (flags & ~WHDR_DONE) | WHDR_INQUEUE);
  stream->queue.push_back(header);
  if (FaultActive(now) && script_.fault == Fault::DeadEndpoint) ReturnAll(*stream);
  changed_.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInModel::Start(HWAVEIN device) {
  std::lock_guard<std::mutex> lock(lock_);
  Stream* stream = Find(device, "waveInStart");
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (!stream->started) {
    stream->next_block_at = std::max(Clock::now() + std::chrono::milliseconds(stream->block_ms), stream->first_block_at);
  }
  stream->started = true;
  changed_.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInModel::Reset(HWAVEIN device) {
  std::lock_guard<std::mutex> lock(lock_);
  Stream* stream = Find(device, "waveInReset");
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (stream->stuck_for_good) return MMSYSERR_NODRIVER;
  if (FaultActive(Clock::now())) {
    if (script_.fault == Fault::StuckBuffers) return MMSYSERR_NODRIVER;  // and the buffers stay queued
    if (script_.fault == Fault::NoDriver) return MMSYSERR_NODRIVER;
  }
  stream->started = false;
  ReturnAll(*stream);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInModel::Close(HWAVEIN device) {
  std::lock_guard<std::mutex> lock(lock_);
  Stream* stream = Find(device, "waveInClose");
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (!stream->queue.empty()) {
    ++counts_.refused_closes;
    stream->dead = true;
    CountHandles();
    return WAVERR_STILLPLAYING;
  }
  stream->open = false;
  CountHandles();
  Signal(stream->event);  // WIM_CLOSE
  return MMSYSERR_NOERROR;
}

// The device's clock: every started stream returns its oldest buffer, full,
// once a block period, unless the fault keeps it from delivering.
void WaveInModel::Run() {
  std::unique_lock<std::mutex> lock(lock_);
  while (!stopping_) {
    const auto now = Clock::now();
    if (!fault_began_ && FaultActive(now)) {
      fault_began_ = true;
      for (auto& entry : streams_) {
        if (!entry.second.open) continue;
        if (script_.fault == Fault::DeadEndpoint || script_.fault == Fault::NoDriver) ReturnAll(entry.second);
        if (script_.fault == Fault::BuffersNeverReturn) entry.second.stuck_for_good = true;
        if (script_.fault == Fault::SleepKillsStreams) entry.second.silent_for_good = true;
      }
    }
    auto wake_at = now + std::chrono::milliseconds(5);
    for (auto& entry : streams_) {
      Stream& stream = entry.second;
      if (!stream.open || !stream.started) continue;
      const auto period = std::chrono::milliseconds(stream.block_ms);
      while (stream.next_block_at <= now) {
        stream.next_block_at += period;
        if (!Delivers(now) || stream.stuck_for_good || stream.silent_for_good || stream.queue.empty()) continue;  // an overrun loses the block
        WAVEHDR* header = stream.queue.front();
        const uint32_t samples = header->dwBufferLength / sizeof(int16_t);
        for (uint32_t i = 0; i < samples; ++i, ++next_sample_) {
          const int16_t sample = Tone{1000, 16384}.Sample(next_sample_, SampleRate);
          std::memcpy(header->lpData + i * sizeof sample, &sample, sizeof sample);
        }
        ReturnBuffer(stream, samples * sizeof(int16_t));
      }
      wake_at = std::min(wake_at, stream.next_block_at);
    }
    changed_.wait_until(lock, wake_at);
  }
}

UINT ModelWaveIn::waveInGetNumDevs() { return Awake().GetNumDevs(); }

MMRESULT ModelWaveIn::waveInOpen(HWAVEIN* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                                 DWORD_PTR, DWORD flags) {
  return Awake().Open(device, id, format, callback, flags);
}

MMRESULT ModelWaveIn::waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, UINT size) {
  return Awake().Prepare(device, header, size);
}

MMRESULT ModelWaveIn::waveInUnprepareHeader(HWAVEIN device, WAVEHDR* header, UINT size) {
  return Awake().Unprepare(device, header, size);
}

MMRESULT ModelWaveIn::waveInAddBuffer(HWAVEIN device, WAVEHDR* header, UINT size) {
  return Awake().AddBuffer(device, header, size);
}

MMRESULT ModelWaveIn::waveInStart(HWAVEIN device) { return Awake().Start(device); }
MMRESULT ModelWaveIn::waveInReset(HWAVEIN device) { return Awake().Reset(device); }
MMRESULT ModelWaveIn::waveInClose(HWAVEIN device) { return Awake().Close(device); }

HANDLE ModelWaveIn::CreateEventW(void*, BOOL, BOOL, const wchar_t*) {
  std::lock_guard<std::mutex> lock(OpenEventsLock);
  return *OpenEvents->insert(new ModelEvent).first;
}
BOOL ModelWaveIn::SetEvent(HANDLE event) {
  Signal(event);
  return 1;
}
BOOL ModelWaveIn::ResetEvent(HANDLE event) {
  std::lock_guard<std::mutex> lock(EventOf(event)->lock);
  EventOf(event)->set = false;
  return 1;
}
DWORD ModelWaveIn::WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (const WaveInModel* model = Current.load()) model->AwaitWake();
  ModelEvent* event = EventOf(handle);
  std::unique_lock<std::mutex> lock(event->lock);
  const bool set = event->signalled.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return event->set; });
  event->set = false;
  return set ? 0 : 0x102;  // WAIT_OBJECT_0 or WAIT_TIMEOUT
}
BOOL ModelWaveIn::CloseHandle(HANDLE event) {
  std::lock_guard<std::mutex> lock(OpenEventsLock);
  OpenEvents->erase(EventOf(event));
  delete EventOf(event);
  return 1;
}
