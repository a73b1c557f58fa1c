// The waveIn backend on winmm itself, and the translation of its codes.
#include "capturelib/backends/wavein_backend.h"

#include "capture/system_dll.h"

namespace {

struct WinmmCalls {
  decltype(&::waveInGetNumDevs) getNumDevs;
  decltype(&::waveInOpen) open;
  decltype(&::waveInPrepareHeader) prepareHeader;
  decltype(&::waveInUnprepareHeader) unprepareHeader;
  decltype(&::waveInAddBuffer) addBuffer;
  decltype(&::waveInStart) start;
  decltype(&::waveInReset) reset;
  decltype(&::waveInClose) close;
};

// Looked up once and never unloaded: a recording thread that a free had to
// leave behind may still be inside winmm.
const WinmmCalls& Winmm() {
  static const WinmmCalls calls = [] {
    const HMODULE winmm = LoadSystemDll(L"winmm.dll");
    return WinmmCalls{
        SystemCall<decltype(&::waveInGetNumDevs)>(winmm, "waveInGetNumDevs"),
        SystemCall<decltype(&::waveInOpen)>(winmm, "waveInOpen"),
        SystemCall<decltype(&::waveInPrepareHeader)>(winmm, "waveInPrepareHeader"),
        SystemCall<decltype(&::waveInUnprepareHeader)>(winmm, "waveInUnprepareHeader"),
        SystemCall<decltype(&::waveInAddBuffer)>(winmm, "waveInAddBuffer"),
        SystemCall<decltype(&::waveInStart)>(winmm, "waveInStart"),
        SystemCall<decltype(&::waveInReset)>(winmm, "waveInReset"),
        SystemCall<decltype(&::waveInClose)>(winmm, "waveInClose")};
  }();
  return calls;
}

bool HaveWinmm() {
  const WinmmCalls& calls = Winmm();
  return calls.getNumDevs && calls.open && calls.prepareHeader && calls.unprepareHeader && calls.addBuffer &&
         calls.start && calls.reset && calls.close;
}

// winmm's calls as they are, once looked up: the seam costs the product one
// indirect call. Used only when HaveWinmm().
struct SystemWaveIn {
  static UINT waveInGetNumDevs() { return Winmm().getNumDevs(); }
  static MMRESULT waveInOpen(HWAVEIN* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                             DWORD_PTR instance, DWORD flags) {
    return Winmm().open(device, id, format, callback, instance, flags);
  }
  static MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, UINT size) {
    return Winmm().prepareHeader(device, header, size);
  }
  static MMRESULT waveInUnprepareHeader(HWAVEIN device, WAVEHDR* header, UINT size) {
    return Winmm().unprepareHeader(device, header, size);
  }
  static MMRESULT waveInAddBuffer(HWAVEIN device, WAVEHDR* header, UINT size) {
    return Winmm().addBuffer(device, header, size);
  }
  static MMRESULT waveInStart(HWAVEIN device) { return Winmm().start(device); }
  static MMRESULT waveInReset(HWAVEIN device) { return Winmm().reset(device); }
  static MMRESULT waveInClose(HWAVEIN device) { return Winmm().close(device); }

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
  if (!HaveWinmm()) return std::make_unique<NoWinmmBackend>();
  return std::make_unique<WaveInBackend<SystemWaveIn>>();
}
