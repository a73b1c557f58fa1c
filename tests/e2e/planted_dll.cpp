// A DLL planted beside the program under the name of a system DLL. If
// anything loads it, it leaves "<its own path>.loaded" and ends the process
// with status 77 before the real one could be used.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  lstrcpyW(path + length, L".loaded");
  CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  TerminateProcess(GetCurrentProcess(), 77);
  return FALSE;
}

// Every name an importer of winmm may ask for, so that Windows' loader gets
// as far as DllMain.
extern "C" int Planted() { return 0; }
