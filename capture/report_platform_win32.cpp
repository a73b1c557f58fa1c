#include <windows.h>

#include "capture/report_platform.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows texts are UTF-16");

void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
  MessageBoxW(static_cast<HWND>(owner), reinterpret_cast<const wchar_t*>(text),
              reinterpret_cast<const wchar_t*>(caption), style);
}

void FormatIntoBuffer(char16_t* buffer, const char16_t* format, const uintptr_t* arguments) {
  // wvsprintfW takes its arguments as a va_list: on Windows a pointer to
  // consecutive pointer-sized slots.
  wvsprintfW(reinterpret_cast<wchar_t*>(buffer), reinterpret_cast<const wchar_t*>(format),
             reinterpret_cast<va_list>(const_cast<uintptr_t*>(arguments)));
}

void EndProcess(uint32_t status) { ExitProcess(status); }
