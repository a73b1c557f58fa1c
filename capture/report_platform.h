// The three Windows calls behind the recording control, as a seam: Windows
// implements them in report_platform_win32.cpp, the tests record them.
#pragma once

#include <cstdint>

constexpr uint32_t ErrorIconStyle = 0x10;  // MB_ICONERROR with the single OK button

// MessageBoxW: shows the box and waits for the user to close it.
void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style);

// wvsprintfW into buffer, which FormatText makes 65,536 characters long;
// wvsprintfW itself writes at most 1,024 of them, the closing NUL included.
void FormatIntoBuffer(char16_t* buffer, const char16_t* format, const uintptr_t* arguments);

// Ends the process at once with the given status; never returns.
[[noreturn]] void EndProcess(uint32_t status);
