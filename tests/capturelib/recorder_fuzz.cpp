// libFuzzer target: the seven exported calls from a GUI thread and a tick
// thread, against a synthetic device the input also drives, checked against
// what capturelib/contract.h promises. A breach prints "CONTRACT BREACH"
// and aborts, so libFuzzer keeps the input.
//
// Input: GUI-thread ops, then '|', then tick-thread ops, which repeat until
// the GUI script ends. Each op is one letter and its argument bytes; other
// bytes are skipped, missing arguments read as 0.
//   GUI   I        BASS_RecordInit(-1)        i d      BASS_RecordInit((int8) d)
//         S f p    start at Frequencies[f%8] with record callback p (below)
//         s F c f  start at the 32-bit frequency F, channels c, flags f
//         F        BASS_RecordFree            V        BASS_GetVersion
//         U / E    device lost (stalls / errors)        P  device back
//         X c      Open fails with OpenFailures[c%4]     O n  the next Open hangs n*10 ms
//         D n      first block n*4 ms late    B n ...  a block of n samples
//         R n v v  n*512 samples of one value Z        an empty block
//         W n      sleep n ms                 w        wait for an Open to begin
//         Q        after a loss: everything reads as exactly 0
//   tick  d h L    BASS_ChannelGetData(handle h, buffer, 32-bit length L)
//         n h L    the same with a null buffer
//         l h      BASS_ChannelGetLevel       v  BASS_GetVersion      z n  sleep n%32 ms
//   h%4: the current handle, 0, a freed one, current+1+h/4.
//   p%4: none, returns 1, returns 0 at block p/4+1, calls init/start/free inside.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <thread>
#include <vector>

#include "capture/capture_library.h"
#include "capturelib/contract.h"
#include "capturelib/fft.h"
#include "capturelib/recorder.h"
#include "tests/support/synthetic_device.h"
#include "tests/capturelib/fast_timing.h"
#include "tests/support/capture_checks.h"
#include "tests/support/polling.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The contract says within 0.4 s; over a second is a hang, not a slow machine.
constexpr auto FreeBound = milliseconds(1000);
constexpr auto ScriptBudget = milliseconds(4000);
constexpr uint8_t GuardByte = 0xA5;
constexpr size_t GuardBytes = 64;
constexpr size_t SpectrumBytes = SpectrumBins * sizeof(float);
constexpr uint32_t PlainLengthCap = 1 << 18;  // longer plain requests wrap below this
constexpr uint32_t Frequencies[8] = {44100, 48000, 8000, 192000, 11025, 7999, 192001, 0};
constexpr CaptureError OpenFailures[4] = {CaptureOk, CaptureDeviceBusy, CaptureDriverError,
                                          CaptureOutOfMemory};

SyntheticDevice& Device() {
  static SyntheticDevice* const device = new SyntheticDevice;
  return *device;
}

void Expect(bool holds, const char* what, long long a = 0, long long b = 0) {
  if (holds) return;
  std::fprintf(stderr, "CONTRACT BREACH: %s (%lld, %lld)\n", what, a, b);
  std::abort();
}

long long Millis(Clock::duration d) { return std::chrono::duration_cast<milliseconds>(d).count(); }

struct Reader {
  const uint8_t* at;
  const uint8_t* end;
  bool More() const { return at < end; }
  uint8_t Byte() { return at < end ? *at++ : 0; }
  uint32_t Word() {
    uint32_t word = 0;
    for (int shift = 0; shift < 32; shift += 8) word |= uint32_t{Byte()} << shift;
    return word;
  }
  int16_t Sample() {
    const uint8_t low = Byte();
    return static_cast<int16_t>(low | Byte() << 8);
  }
};

// What the GUI thread tells the tick thread. epoch is odd while the GUI thread
// changes the recording: a tick call that saw the same even epoch before and
// after ran entirely in one known state, and only such calls are held to the
// exact answer.
struct Published {
  std::atomic<uint32_t> epoch{0};
  std::atomic<uint32_t> handle{0};   // the current recording's, 0 for none
  std::atomic<uint32_t> retired{0};  // a freed recording's
  std::atomic<bool> audible{false};  // a non-zero sample may have reached the recording
  std::atomic<bool> done{false};
} shared;

struct Change {
  Change() { shared.epoch.fetch_add(1); }
  ~Change() { shared.epoch.fetch_add(1); }
};

struct Snapshot {
  uint32_t epoch = shared.epoch.load();
  uint32_t handle = shared.handle.load();
  uint32_t retired = shared.retired.load();
  bool audible = shared.audible.load();
  bool Stable() const { return epoch % 2 == 0 && shared.epoch.load() == epoch; }
};

uint32_t PickHandle(uint8_t choice, const Snapshot& state) {
  switch (choice % 4) {
    case 0: return state.handle;
    case 1: return 0;
    case 2: return state.retired;
    default: return state.handle + 1 + (choice >> 2);
  }
}

void CheckVersion() {
  Expect(BASS_GetVersion() >> 16 == 0x0204, "BASS_GetVersion: high 16 bits not 0x0204");
  Expect(BASS_ErrorGetCode() == CaptureOk, "BASS_GetVersion left an error code");
}

void CheckData(uint32_t handle, uint32_t length, bool null_buffer, const Snapshot& before) {
  const bool fft = length == BASS_DATA_FFT2048;
  const bool plain = length < CapturePlainLengthLimit;
  const size_t room = fft ? SpectrumBytes : plain ? length : 16;
  std::vector<uint8_t> buffer(room + GuardBytes, GuardByte);
  const uint32_t got = BASS_ChannelGetData(handle, null_buffer ? nullptr : buffer.data(), length);
  const int32_t code = BASS_ErrorGetCode();
  const bool stable = before.Stable();
  const bool current = handle != 0 && handle == before.handle;
  const bool arguments_ok = !null_buffer && (fft || plain);
  for (size_t i = room; i < buffer.size(); ++i) {
    Expect(buffer[i] == GuardByte, "GetData wrote past the requested length", length, i - room);
  }
  if (got == CaptureFailure) {
    for (size_t i = 0; i < room; ++i) {
      Expect(buffer[i] == GuardByte, "a failed GetData wrote into the buffer", length, i);
    }
    Expect(code == CaptureBadHandle || code == CaptureBadArgument,
           "GetData failed with an undocumented code", code);
    if (!stable) return;
    Expect(!(current && arguments_ok), "GetData failed on the current handle", code, length);
    if (!current && arguments_ok)
      Expect(code == CaptureBadHandle, "GetData: bad handle, code", code);
    if (current && !arguments_ok)
      Expect(code == CaptureBadArgument, "GetData: bad argument, code", code);
    return;
  }
  Expect(code == CaptureOk, "a successful GetData left an error code", code);
  Expect(arguments_ok, "GetData accepted a null buffer or an unknown length", length, got);
  Expect(!stable || current, "GetData served a handle that is not the current one", handle);
  const uint32_t expected = fft ? SpectrumBytes : length / 2 * 2;
  Expect(got == expected, "GetData returned the wrong byte count", got, expected);
  const bool silent = stable && !before.audible;
  if (fft) {
    for (size_t k = 0; k < SpectrumBytes / sizeof(float); ++k) {
      float magnitude;
      std::memcpy(&magnitude, buffer.data() + k * sizeof(float), sizeof magnitude);
      // |X[k]| * 2/2048 of a Hann window summing to 1024: at most 1.
      Expect(std::isfinite(magnitude) && magnitude >= 0.0f && magnitude <= 1.0001f,
             "an FFT magnitude outside 0..1", k, std::lround(magnitude * 1e6));
      Expect(!silent || magnitude == 0.0f, "silence did not read as exactly 0 (FFT)", k);
    }
  } else if (silent) {
    for (uint32_t i = 0; i < got; ++i) {
      Expect(buffer[i] == 0, "silence did not read as exactly 0 (samples)", length, i);
    }
  }
}

void CheckLevel(uint32_t handle, const Snapshot& before) {
  const uint32_t level = BASS_ChannelGetLevel(handle);
  const int32_t code = BASS_ErrorGetCode();
  const bool stable = before.Stable();
  const bool current = handle != 0 && handle == before.handle;
  if (level == CaptureFailure) {
    Expect(code == CaptureBadHandle, "GetLevel failed with a code other than bad handle", code);
    Expect(!stable || !current, "GetLevel failed on the current handle");
    return;
  }
  Expect(code == CaptureOk, "a successful GetLevel left an error code", code);
  Expect(!stable || current, "GetLevel served a handle that is not the current one", handle);
  Expect((level & 0xFFFF) == level >> 16 && (level & 0xFFFF) <= 32768,
         "GetLevel: not one level 0..32768 in both halves", level);
  Expect(!stable || before.audible || level == 0, "silence did not read as exactly 0 (level)",
         level);
}

// One per started recording, kept until its thread is gone.
struct CallbackScript {
  uint32_t stop_at = 0;  // returns 0 at this block; 0: never
  bool reenter = false;
  std::atomic<uint32_t> handle{0};
  std::atomic<uint32_t> blocks{0};
  std::atomic<bool> stopped{false};
  std::atomic<bool> freed{false};
};
std::list<CallbackScript> callbacks;

int32_t CAPTURE_API Record(uint32_t handle, const void* buffer, uint32_t length, void* user) {
  auto& script = *static_cast<CallbackScript*>(user);
  Expect(!script.freed, "record callback called after BASS_RecordFree returned");
  Expect(!script.stopped, "record callback called after it returned 0");
  const uint32_t expected = script.handle;
  Expect(handle != 0 && (expected == 0 || handle == expected), "record callback: wrong handle",
         handle, expected);
  Expect(length % 2 == 0 && (length == 0 || buffer != nullptr), "record callback: bad block",
         length);
  if (script.reenter) {
    Expect(BASS_RecordFree() == 0 && BASS_ErrorGetCode() == CaptureFreeInsideCallback,
           "BASS_RecordFree inside the callback", BASS_ErrorGetCode());
    Expect(BASS_RecordInit(DefaultInputDevice) == 0 &&
               BASS_ErrorGetCode() == CaptureAlreadyInitialised,
           "BASS_RecordInit inside the callback", BASS_ErrorGetCode());
    Expect(BASS_RecordStart(44100, 1, 0, nullptr, nullptr) == 0 &&
               BASS_ErrorGetCode() == CaptureDeviceBusy,
           "BASS_RecordStart inside the callback", BASS_ErrorGetCode());
  }
  if (++script.blocks == script.stop_at) {
    script.stopped = true;
    return 0;
  }
  return 1;
}

// The GUI thread's view of the library and the device.
struct Model {
  bool initialised = false;
  bool started = false;
  bool present = true;
  bool slow_opens = false;       // an Open was ever told to block in this input
  bool maybe_lingering = false;  // a free may have left a recording thread finishing
  CaptureError open_failure = CaptureOk;
  uint32_t handle = 0;
  CallbackScript* callback = nullptr;
  int opens_at_loss = 0;
  Clock::time_point lost_at;
};

void Init(int32_t device, Model& model) {
  const int32_t result = BASS_RecordInit(device);
  const int32_t code = BASS_ErrorGetCode();
  if (device != DefaultInputDevice) {
    Expect(result == 0 && (code == CaptureBadArgument ||
                           (model.initialised && code == CaptureAlreadyInitialised)),
           "BASS_RecordInit of a device other than -1", result, code);
  } else if (model.initialised) {
    Expect(result == 0 && code == CaptureAlreadyInitialised, "BASS_RecordInit twice", result, code);
  } else if (result == 0) {
    // Busy while a thread that an earlier free left behind still finishes;
    // the library stays uninitialised, which the next calls check.
    Expect((!model.present && code == CaptureNoDevice) ||
               (model.maybe_lingering && code == CaptureDeviceBusy),
           "BASS_RecordInit failed", code, model.present);
  } else {
    Expect(code == CaptureOk && model.present, "BASS_RecordInit succeeded", code, model.present);
    model.initialised = true;
    model.maybe_lingering = false;
  }
}

void Start(uint32_t frequency, uint32_t channels, uint32_t flags, int callback, Model& model) {
  CallbackScript* script = nullptr;
  if (callback % 4 != 0) {
    script = &callbacks.emplace_back();
    script->stop_at = callback % 4 == 2 ? callback / 4 + 1 : 0;
    script->reenter = callback % 4 == 3;
  }
  const bool format_ok = channels == 1 && flags == 0 && frequency >= 8000 && frequency <= 192000;
  uint32_t handle;
  int32_t code;
  {
    Change change;
    if (model.initialised && !model.started) {
      Device().DiscardQueuedBlocks();
      shared.audible = false;
    }
    handle = BASS_RecordStart(frequency, channels, flags, script ? Record : nullptr, script);
    code = BASS_ErrorGetCode();
    if (handle != 0) shared.handle = handle;
  }
  if (!model.initialised) {
    Expect(handle == 0 && code == CaptureNotInitialised, "BASS_RecordStart before init", handle,
           code);
  } else if (model.started) {
    Expect(handle == 0 &&
               (code == CaptureDeviceBusy || (!format_ok && code == CaptureFormatUnsupported)),
           "BASS_RecordStart while recording", handle, code);
  } else if (!format_ok) {
    Expect(handle == 0 && code == CaptureFormatUnsupported, "BASS_RecordStart of a bad format",
           handle, code);
  } else if (model.open_failure != CaptureOk || !model.present) {
    const CaptureError failure =
        model.open_failure != CaptureOk ? model.open_failure : CaptureNoDevice;
    Expect(handle == 0 && code == failure, "BASS_RecordStart on a failing device", handle, code);
  } else {
    Expect(handle != 0 && code == CaptureOk, "BASS_RecordStart", handle, code);
    model.started = true;
    model.handle = handle;
    model.callback = script;
    if (script) script->handle = handle;
  }
}

void Free(Model& model) {
  const auto began = Clock::now();
  int32_t result, code;
  {
    Change change;
    result = BASS_RecordFree();
    code = BASS_ErrorGetCode();
    shared.handle = 0;
    if (model.handle != 0) shared.retired = model.handle;
  }
  Expect(Clock::now() - began < FreeBound, "BASS_RecordFree took over 1 s (ms)",
         Millis(Clock::now() - began));
  if (!model.initialised) {
    Expect(result == 0 && code == CaptureNotInitialised, "BASS_RecordFree uninitialised", result,
           code);
    return;
  }
  Expect(result != 0 && code == CaptureOk, "BASS_RecordFree", result, code);
  if (model.callback) model.callback->freed = true;
  model.initialised = model.started = false;
  model.handle = 0;
  model.callback = nullptr;
  model.maybe_lingering = model.slow_opens;
}

void Queue(std::vector<int16_t> block) {
  bool audible = false;
  for (int16_t sample : block) audible |= sample != 0;
  Change change;
  if (audible) shared.audible = true;
  Device().QueueBlock(std::move(block));
}

// Once the recorder tries to reopen a lost device, and well past the time
// after which it serves silence, everything reads as exactly 0.
void CheckSilenceAfterLoss(const Model& model) {
  if (!model.started || model.present) return;
  if (!Eventually([&] { return Device().Opens() > model.opens_at_loss; }, milliseconds(600))) return;
  std::this_thread::sleep_until(model.lost_at + milliseconds(300));
  Expect(IsSilent(model.handle), "silence after a loss did not read as exactly 0");
}

void RunGui(Reader script, Model& model) {
  const auto give_up = Clock::now() + ScriptBudget;
  while (script.More() && Clock::now() < give_up) {
    const uint8_t op = script.Byte();
    switch (op) {
      case 'I': Init(DefaultInputDevice, model); break;
      case 'i': Init(static_cast<int8_t>(script.Byte()), model); break;
      case 'S': {
        const uint32_t frequency = Frequencies[script.Byte() % 8];
        Start(frequency, 1, 0, script.Byte(), model);
        break;
      }
      case 's': {
        const uint32_t frequency = script.Word();
        const uint32_t channels = script.Byte();
        Start(frequency, channels, script.Byte(), 0, model);
        break;
      }
      case 'F': Free(model); break;
      case 'V': CheckVersion(); break;
      case 'U':
      case 'E':
        Device().Unplug(op == 'U' ? SyntheticDevice::Loss::Stall : SyntheticDevice::Loss::Error);
        model.present = false;
        model.opens_at_loss = Device().Opens();
        model.lost_at = Clock::now();
        break;
      case 'P':
        Device().PlugIn();
        model.present = true;
        break;
      case 'X':
        model.open_failure = OpenFailures[script.Byte() % 4];
        Device().SetOpenFailure(model.open_failure);
        break;
      case 'O': {
        const milliseconds delay(10 * std::min<int>(script.Byte(), 130));
        model.slow_opens |= delay.count() > 0;
        Device().HangNextOpen(delay);
        break;
      }
      case 'D': Device().SetFirstBlockDelay(milliseconds(4 * script.Byte())); break;
      case 'B': {
        std::vector<int16_t> block(script.Byte());
        for (auto& sample : block) sample = script.Sample();
        Queue(std::move(block));
        break;
      }
      case 'R': {
        const size_t count = 512 * size_t{script.Byte()};
        Queue(std::vector<int16_t>(count, script.Sample()));
        break;
      }
      case 'Z': Queue({}); break;
      case 'W': std::this_thread::sleep_for(milliseconds(script.Byte())); break;
      case 'w': {
        const int opens = Device().Opens();
        Eventually([&] { return Device().Opens() > opens; }, milliseconds(1000));
        break;
      }
      case 'Q': CheckSilenceAfterLoss(model); break;
      default: break;
    }
  }
}

void RunTicks(const std::vector<uint8_t>& ops) {
  if (ops.empty()) return;
  do {
    Reader script{ops.data(), ops.data() + ops.size()};
    while (script.More()) {
      const uint8_t op = script.Byte();
      switch (op) {
        case 'd':
        case 'n': {
          const bool null_buffer = op == 'n';
          const Snapshot before;
          const uint32_t handle = PickHandle(script.Byte(), before);
          uint32_t length = script.Word();
          if (length < CapturePlainLengthLimit) length %= PlainLengthCap;
          CheckData(handle, length, null_buffer, before);
          break;
        }
        case 'l': {
          const Snapshot before;
          CheckLevel(PickHandle(script.Byte(), before), before);
          break;
        }
        case 'v': CheckVersion(); break;
        case 'z': std::this_thread::sleep_for(milliseconds(script.Byte() % 32)); break;
        default: break;
      }
    }
    std::this_thread::sleep_for(milliseconds(1));
  } while (!shared.done);
}

// Leaves the library and the device as the next input expects them: freed,
// every recording thread gone, and init working again.
void Settle(Model& model) {
  if (model.initialised) Free(model);
  SyntheticDevice& device = Device();
  device.PlugIn();
  device.SetOpenFailure(CaptureOk);
  device.HangNextOpen(milliseconds(0));
  device.SetFirstBlockDelay(milliseconds(0));
  device.DiscardQueuedBlocks();
  Expect(Eventually([&] { return device.LiveBackends() == 0; }, milliseconds(5000)),
         "a recording thread still runs 5 s after BASS_RecordFree", device.LiveBackends());
  model.present = true;
  model.open_failure = CaptureOk;
  const auto give_up = Clock::now() + milliseconds(3000);
  while (BASS_RecordInit(DefaultInputDevice) == 0) {
    Expect(
        model.maybe_lingering && BASS_ErrorGetCode() == CaptureDeviceBusy && Clock::now() < give_up,
        "BASS_RecordInit keeps failing once every recording thread is gone", BASS_ErrorGetCode());
    std::this_thread::sleep_for(milliseconds(10));
  }
  model.initialised = true;
  model.slow_opens = false;
  Free(model);
  Expect(device.OpenStreams() == 0, "a stream left open after BASS_RecordFree",
         device.OpenStreams());
  callbacks.clear();
  shared.retired = 0;
  shared.audible = false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Device().SetSignal(SyntheticSignal::Silence());
  SetRecordingBackendFactory([] { return Device().CreateBackend(); });
  SetRecorderTiming(FastTiming());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* const end = data + size;
  const uint8_t* split = std::find(data, end, '|');
  const std::vector<uint8_t> ticks(split == end ? end : split + 1, end);
  shared.done = false;
  std::thread tick_thread([&] { RunTicks(ticks); });
  Model model;
  RunGui(Reader{data, split}, model);
  shared.done = true;
  tick_thread.join();
  Settle(model);
  return 0;
}
