// The waveIn backend on winmm itself.
#include "capturelib/backends/wavein_backend.h"

#include "win32/system_dll.h"

namespace {

// winmm's calls as they are, looked up once by LookUpWinmm and never let go:
// a recording thread that a free had to leave behind may still be in winmm.
struct SystemWaveIn {
  static inline decltype(&::waveInGetNumDevs) waveInGetNumDevs;
  static inline decltype(&::waveInOpen) waveInOpen;
  static inline decltype(&::waveInPrepareHeader) waveInPrepareHeader;
  static inline decltype(&::waveInUnprepareHeader) waveInUnprepareHeader;
  static inline decltype(&::waveInAddBuffer) waveInAddBuffer;
  static inline decltype(&::waveInStart) waveInStart;
  static inline decltype(&::waveInReset) waveInReset;
  static inline decltype(&::waveInClose) waveInClose;

  static HANDLE CreateEventW(void* attributes, BOOL manual_reset, BOOL initially_set, const wchar_t* name) {
    return ::CreateEventW(static_cast<SECURITY_ATTRIBUTES*>(attributes), manual_reset, initially_set, name);
  }
  static BOOL SetEvent(HANDLE event) { return ::SetEvent(event); }
  static BOOL ResetEvent(HANDLE event) { return ::ResetEvent(event); }
  static DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds) {
    return ::WaitForSingleObject(event, milliseconds);
  }
  static BOOL CloseHandle(HANDLE event) { return ::CloseHandle(event); }
  static void PrepareRecordingThread() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    NameThisThread(L"Kivotra capture");
  }
};

// Once, before the first recording thread starts. False when any call is missing.
bool LookUpWinmm() {
  static const bool found = [] {
    const HMODULE winmm = LoadSystemDll(L"winmm.dll");
    using Api = SystemWaveIn;
    Api::waveInGetNumDevs = SystemCall<decltype(Api::waveInGetNumDevs)>(winmm, "waveInGetNumDevs");
    Api::waveInOpen = SystemCall<decltype(Api::waveInOpen)>(winmm, "waveInOpen");
    Api::waveInPrepareHeader = SystemCall<decltype(Api::waveInPrepareHeader)>(winmm, "waveInPrepareHeader");
    Api::waveInUnprepareHeader = SystemCall<decltype(Api::waveInUnprepareHeader)>(winmm, "waveInUnprepareHeader");
    Api::waveInAddBuffer = SystemCall<decltype(Api::waveInAddBuffer)>(winmm, "waveInAddBuffer");
    Api::waveInStart = SystemCall<decltype(Api::waveInStart)>(winmm, "waveInStart");
    Api::waveInReset = SystemCall<decltype(Api::waveInReset)>(winmm, "waveInReset");
    Api::waveInClose = SystemCall<decltype(Api::waveInClose)>(winmm, "waveInClose");
    return Api::waveInGetNumDevs && Api::waveInOpen && Api::waveInPrepareHeader && Api::waveInUnprepareHeader &&
           Api::waveInAddBuffer && Api::waveInStart && Api::waveInReset && Api::waveInClose;
  }();
  return found;
}

// Without winmm there is no audio layer to record from: init fails with the
// driver error, whose advice in the README covers it.
class NoWinmmBackend final : public RecordingBackend {
 public:
  CaptureError Probe() override { return CaptureDriverError; }
  CaptureError Open(const RecordFormat&) override { return CaptureDriverError; }
  CaptureError Drain(std::chrono::milliseconds, BlockSink&) override { return CaptureDriverError; }
  void Close() override {}
  void Wake() override {}
};

}  // namespace

std::unique_ptr<RecordingBackend> CreateDefaultBackend() {
  if (!LookUpWinmm()) return std::make_unique<NoWinmmBackend>();
  return std::make_unique<WaveInBackend<SystemWaveIn>>();
}
