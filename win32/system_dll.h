// Windows' own DLLs for the program and its capture library: loaded from the
// system folder only, their newer calls looked up at run time, so that both
// modules start on the oldest Windows they support.
#pragma once

#include <windows.h>

// winmm.dll is not one of Windows' known DLLs: loaded by name, a winmm.dll
// left beside the program (in a Downloads folder, say) would run instead.
// Null when it cannot be had, as on Windows 7 without update KB2533623,
// which knows no search flags.
inline HMODULE LoadSystemDll(const wchar_t* name) {
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// A DLL's function as its own type; null when the module or the name is missing.
template <typename Function>
Function SystemCall(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Names the calling thread for debuggers and profilers (Windows 10 1607 and
// later; Wine shows it as the Unix thread's name). Elsewhere nothing happens.
// On 1607 and Server 2016 only KernelBase.dll has the call; both modules are
// loaded in every process from Windows 7 on.
inline void NameThisThread(const wchar_t* name) {
  using SetThreadDescriptionCall = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  auto describe = SystemCall<SetThreadDescriptionCall>(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription");
  if (describe == nullptr) {
    describe = SystemCall<SetThreadDescriptionCall>(GetModuleHandleW(L"kernelbase.dll"), "SetThreadDescription");
  }
  if (describe != nullptr) describe(GetCurrentThread(), name);
}
