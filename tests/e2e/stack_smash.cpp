// Linked with the stack guard of every Windows module: with no argument it
// prints this start's guard; with one, it copies it into an 8-byte buffer.
// Started with --windows-7 first, it plays a Windows without fast fail: the
// feature check the guard makes before one answers no.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" uintptr_t __stack_chk_guard;

__attribute__((noinline)) static void CopyOntoStack(const char* text) {
  char buffer[8];
  std::strcpy(buffer, text);
  std::puts(buffer);
}

static BOOL WINAPI NoProcessorFeature(DWORD) { return FALSE; }

// Points this program's import of IsProcessorFeaturePresent elsewhere.
static void HideProcessorFeatures() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  const FARPROC real = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsProcessorFeaturePresent");
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); dll->Name != 0; ++dll) {
    for (auto* slot = reinterpret_cast<FARPROC*>(base + dll->FirstThunk); *slot != nullptr; ++slot) {
      if (*slot != real) continue;
      DWORD protection;
      VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
      *slot = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&NoProcessorFeature));
    }
  }
}

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--windows-7") == 0) {
    HideProcessorFeatures();
    --argc, ++argv;
  }
  if (argc < 2) return std::printf("%08x\n", unsigned(__stack_chk_guard)) < 0;
  CopyOntoStack(argv[1]);
  return 0;
}
