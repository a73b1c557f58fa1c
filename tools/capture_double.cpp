// A stand-in for the capture library, put beside a copy of kivotra.exe as
// bass.dll. KIVOTRA_CAPTURE_DOUBLE chooses what it does:
//
//   version=0x02030000   BASS_GetVersion reports that version
//   init-fails=CODE      BASS_RecordInit fails, BASS_ErrorGetCode gives CODE
//   start-fails=CODE     BASS_RecordStart fails likewise
//   forward              every call goes to capture-real.dll in the same
//                        folder (the real library, renamed)
//   (unset)              a library that records silence
//
// With KIVOTRA_CAPTURE_LOG set, each call is logged with its time. The log,
// written when the recording is freed and again when the process ends, has a
// line "frequency F" and then "TICKS NAME" per call, TICKS from
// QueryPerformanceCounter; the data calls also log "TICKS NAME-end" when they
// return.
//
// With KIVOTRA_CAPTURE_HOLD_MS=N each data call (BASS_ChannelGetData and
// BASS_ChannelGetLevel) sleeps N ms before it answers, so that a tick is
// most likely inside one when the window is torn down.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "capture/capture_library.h"

namespace {
enum Call : uint8_t {
  CallGetVersion, CallRecordInit, CallRecordStart, CallGetData, CallGetDataEnd,
  CallGetLevel, CallGetLevelEnd, CallErrorGetCode, CallRecordFree
};
const char* const CallNames[] = {"GetVersion", "RecordInit",   "RecordStart",  "GetData",   "GetData-end",
                                 "GetLevel",   "GetLevel-end", "ErrorGetCode", "RecordFree"};

struct Behaviour {
  uint32_t version = 0x02040000;
  bool initFails = false;
  bool startFails = false;
  int32_t errorCode = 0;
  bool forward = false;
  DWORD holdMs = 0;
};
Behaviour Chosen;
int32_t LastError = 0;

// Forwarding to the real library.
struct RealLibrary {
  decltype(&BASS_GetVersion) getVersion;
  decltype(&BASS_RecordInit) recordInit;
  decltype(&BASS_RecordStart) recordStart;
  decltype(&BASS_ChannelGetData) getData;
  decltype(&BASS_ChannelGetLevel) getLevel;
  decltype(&BASS_ErrorGetCode) errorGetCode;
  decltype(&BASS_RecordFree) recordFree;
};
RealLibrary Real;

// The call log: fixed storage, so that logging costs the tick no allocation.
struct LogEntry {
  LONGLONG ticks;
  Call call;
};
constexpr LONG LogCapacity = 1 << 16;  // 27 minutes of ticks
LogEntry Log[LogCapacity];
volatile LONG LogLength = 0;
wchar_t LogPath[MAX_PATH];

void Note(Call call) {
  if (LogPath[0] == 0) return;
  const LONG index = InterlockedIncrement(&LogLength) - 1;
  if (index >= LogCapacity) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  Log[index] = {now.QuadPart, call};
}

void WriteLog() {
  if (LogPath[0] == 0) return;
  FILE* file = _wfopen(LogPath, L"wb");
  if (file == nullptr) return;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::fprintf(file, "frequency %lld\n", frequency.QuadPart);
  const LONG length = LogLength < LogCapacity ? LogLength : LogCapacity;
  for (LONG i = 0; i < length; ++i) std::fprintf(file, "%lld %s\n", Log[i].ticks, CallNames[Log[i].call]);
  std::fclose(file);
}

template <typename Function>
void Resolve(HMODULE library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  if (function == nullptr) {
    // Without the real library forwarding cannot work: say so and stop.
    std::fprintf(stderr, "capture double: %s missing in capture-real.dll\n", name);
    ExitProcess(70);
  }
}

void LoadRealLibrary(HMODULE self) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
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
}

void ReadBehaviour() {
  wchar_t setting[256] = {};
  GetEnvironmentVariableW(L"KIVOTRA_CAPTURE_DOUBLE", setting, 256);
  const wchar_t* value = std::wcschr(setting, L'=');
  const long number = value ? std::wcstol(value + 1, nullptr, 0) : 0;
  if (std::wcsncmp(setting, L"version=", 8) == 0) Chosen.version = uint32_t(std::wcstoul(value + 1, nullptr, 0));
  if (std::wcsncmp(setting, L"init-fails=", 11) == 0) {
    Chosen.initFails = true;
    Chosen.errorCode = int32_t(number);
  }
  if (std::wcsncmp(setting, L"start-fails=", 12) == 0) {
    Chosen.startFails = true;
    Chosen.errorCode = int32_t(number);
  }
  Chosen.forward = std::wcscmp(setting, L"forward") == 0;
  GetEnvironmentVariableW(L"KIVOTRA_CAPTURE_LOG", LogPath, MAX_PATH);
  wchar_t hold[16] = {};
  if (GetEnvironmentVariableW(L"KIVOTRA_CAPTURE_HOLD_MS", hold, 16) != 0) Chosen.holdMs = std::wcstoul(hold, nullptr, 10);
}

HMODULE Self;
INIT_ONCE RealLoaded = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK LoadRealLibraryOnce(PINIT_ONCE, PVOID, PVOID*) {
  LoadRealLibrary(Self);
  return TRUE;
}

// Loaded on first use: loading a library from DllMain risks the loader lock.
const RealLibrary& Forward() {
  InitOnceExecuteOnce(&RealLoaded, LoadRealLibraryOnce, nullptr, nullptr);
  return Real;
}

// Logs a data call's start and, however it answers, its end.
struct DataCall {
  Call end;
  DataCall(Call start, Call end) : end(end) {
    Note(start);
    if (Chosen.holdMs != 0) Sleep(Chosen.holdMs);
  }
  ~DataCall() { Note(end); }
};
}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    Self = self;
    ReadBehaviour();
  }
  if (reason == DLL_PROCESS_DETACH) WriteLog();
  return TRUE;
}

extern "C" {

uint32_t CAPTURE_API BASS_GetVersion(void) {
  Note(CallGetVersion);
  return Chosen.forward ? Forward().getVersion() : Chosen.version;
}

int32_t CAPTURE_API BASS_RecordInit(int32_t device) {
  Note(CallRecordInit);
  if (Chosen.forward) return Forward().recordInit(device);
  if (Chosen.initFails) {
    LastError = Chosen.errorCode;
    return 0;
  }
  LastError = 0;
  return 1;
}

uint32_t CAPTURE_API BASS_RecordStart(uint32_t frequency, uint32_t channels, uint32_t flags, CaptureRecordProc proc,
                                      void* user) {
  Note(CallRecordStart);
  if (Chosen.forward) return Forward().recordStart(frequency, channels, flags, proc, user);
  if (Chosen.startFails) {
    LastError = Chosen.errorCode;
    return 0;
  }
  LastError = 0;
  return 1;
}

uint32_t CAPTURE_API BASS_ChannelGetData(uint32_t handle, void* buffer, uint32_t length) {
  DataCall logged(CallGetData, CallGetDataEnd);
  if (Chosen.forward) return Forward().getData(handle, buffer, length);
  const uint32_t bytes = length == BASS_DATA_FFT2048 ? 4096 : length;
  std::memset(buffer, 0, bytes);
  return bytes;
}

uint32_t CAPTURE_API BASS_ChannelGetLevel(uint32_t handle) {
  DataCall logged(CallGetLevel, CallGetLevelEnd);
  return Chosen.forward ? Forward().getLevel(handle) : 0;
}

int32_t CAPTURE_API BASS_ErrorGetCode(void) {
  Note(CallErrorGetCode);
  return Chosen.forward ? Forward().errorGetCode() : LastError;
}

int32_t CAPTURE_API BASS_RecordFree(void) {
  Note(CallRecordFree);
  const int32_t result = Chosen.forward ? Forward().recordFree() : 1;
  WriteLog();
  return result;
}

}  // extern "C"
