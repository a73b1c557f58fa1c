// The capture-library double (tests/support/capture_double.cpp) as bass.dll,
// put beside a copy of kivotra.exe. KIVOTRA_CAPTURE_DOUBLE chooses what it
// does:
//
//   version=0x02030000   BASS_GetVersion reports that version
//   init-fails=CODE      BASS_RecordInit fails, BASS_ErrorGetCode gives CODE
//   start-fails=CODE     BASS_RecordStart fails likewise
//   forward              every call goes to capture-real.dll in the same
//                        folder (the real library, renamed)
//   (unset)              a library that records silence
//
// With KIVOTRA_CAPTURE_LOG set, the calls are logged there when the process
// ends: a line "frequency F" and then "TICKS NAME" per call, TICKS counted F
// a second.
//
// With KIVOTRA_CAPTURE_HOLD_MS=N each data call (BASS_ChannelGetData and
// BASS_ChannelGetLevel) sleeps N ms before it answers and also logs
// "TICKS NAME-end" when it returns.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/support/capture_double.h"

namespace {
HMODULE Self;
wchar_t LogPath[MAX_PATH];

template <typename Function>
void Resolve(HMODULE library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  if (function == nullptr) {
    // Without the real library forwarding cannot work: say so and stop.
    std::fprintf(stderr, "capture double: %s missing in capture-real.dll\n", name);
    ExitProcess(70);
  }
}

CaptureCalls Real;
INIT_ONCE RealLoaded = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK LoadRealLibrary(PINIT_ONCE, PVOID, PVOID*) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(Self, path, MAX_PATH);
  wchar_t* slash = std::wcsrchr(path, L'\\');
  if (length == 0 || slash == nullptr) ExitProcess(70);
  std::wcscpy(slash + 1, L"capture-real.dll");
  HMODULE library = LoadLibraryW(path);
  if (library == nullptr) {
    std::fprintf(stderr, "capture double: cannot load capture-real.dll\n");
    ExitProcess(70);
  }
  Resolve(library, "BASS_GetVersion", Real.getVersion);
  Resolve(library, "BASS_RecordInit", Real.recordInit);
  Resolve(library, "BASS_RecordStart", Real.recordStart);
  Resolve(library, "BASS_ChannelGetData", Real.getData);
  Resolve(library, "BASS_ChannelGetLevel", Real.getLevel);
  Resolve(library, "BASS_ErrorGetCode", Real.errorGetCode);
  Resolve(library, "BASS_RecordFree", Real.recordFree);
  return TRUE;
}

// Loaded on first use: loading a library from DllMain risks the loader lock.
const CaptureCalls& Forward() {
  InitOnceExecuteOnce(&RealLoaded, LoadRealLibrary, nullptr, nullptr);
  return Real;
}

void ReadBehaviour() {
  wchar_t setting[256] = {};
  GetEnvironmentVariableW(L"KIVOTRA_CAPTURE_DOUBLE", setting, 256);
  const wchar_t* value = std::wcschr(setting, L'=');
  const long number = value ? std::wcstol(value + 1, nullptr, 0) : 0;
  if (std::wcsncmp(setting, L"version=", 8) == 0) FakeCapture.version = uint32_t(std::wcstoul(value + 1, nullptr, 0));
  if (std::wcsncmp(setting, L"init-fails=", 11) == 0) {
    FakeCapture.init_result = 0;
    FakeCapture.error_code = int32_t(number);
  }
  if (std::wcsncmp(setting, L"start-fails=", 12) == 0) {
    FakeCapture.start_result = 0;
    FakeCapture.error_code = int32_t(number);
  }
  if (std::wcscmp(setting, L"forward") == 0) FakeCapture.forward = Forward;
  GetEnvironmentVariableW(L"KIVOTRA_CAPTURE_LOG", LogPath, MAX_PATH);
  wchar_t hold[16] = {};
  if (GetEnvironmentVariableW(L"KIVOTRA_CAPTURE_HOLD_MS", hold, 16) != 0) {
    FakeCapture.hold_ms = int(std::wcstoul(hold, nullptr, 10));
  }
}

void WriteLog() {
  if (LogPath[0] == 0) return;
  FILE* file = _wfopen(LogPath, L"wb");
  if (file == nullptr) return;
  std::fprintf(file, "frequency 1000000000\n");
  for (const RecordedCall& call : FakeCapture.calls) std::fprintf(file, "%lld %s\n", call.nanoseconds, call.name.c_str());
  std::fclose(file);
}
}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    Self = self;
    ReadBehaviour();
  }
  if (reason == DLL_PROCESS_DETACH) WriteLog();
  return TRUE;
}
