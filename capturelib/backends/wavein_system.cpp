// The waveIn backend on winmm itself, and the translation of its codes.
#include "capturelib/backends/wavein_backend.h"

namespace {

// winmm's calls as they are: the backend's seam costs nothing in the product.
struct SystemWaveIn {
  static UINT waveInGetNumDevs() { return ::waveInGetNumDevs(); }
  static MMRESULT waveInOpen(HWAVEIN* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                             DWORD_PTR instance, DWORD flags) {
    return ::waveInOpen(device, id, format, callback, instance, flags);
  }
  static MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, UINT size) {
    return ::waveInPrepareHeader(device, header, size);
  }
  static MMRESULT waveInUnprepareHeader(HWAVEIN device, WAVEHDR* header, UINT size) {
    return ::waveInUnprepareHeader(device, header, size);
  }
  static MMRESULT waveInAddBuffer(HWAVEIN device, WAVEHDR* header, UINT size) {
    return ::waveInAddBuffer(device, header, size);
  }
  static MMRESULT waveInStart(HWAVEIN device) { return ::waveInStart(device); }
  static MMRESULT waveInReset(HWAVEIN device) { return ::waveInReset(device); }
  static MMRESULT waveInClose(HWAVEIN device) { return ::waveInClose(device); }

  static HANDLE CreateEventW(void* attributes, BOOL manual_reset, BOOL initially_set, const wchar_t* name) {
    return ::CreateEventW(static_cast<SECURITY_ATTRIBUTES*>(attributes), manual_reset, initially_set, name);
  }
  static BOOL SetEvent(HANDLE event) { return ::SetEvent(event); }
  static BOOL ResetEvent(HANDLE event) { return ::ResetEvent(event); }
  static DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds) {
    return ::WaitForSingleObject(event, milliseconds);
  }
  static BOOL CloseHandle(HANDLE event) { return ::CloseHandle(event); }
  static void RaiseThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }
};

}  // namespace

std::unique_ptr<RecordingBackend> CreateDefaultBackend() {
  return std::make_unique<WaveInBackend<SystemWaveIn>>();
}
