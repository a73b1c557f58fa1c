// Starting and stopping the recording that feeds the frame tick, and the
// error report shown when the capture library fails.
#pragma once

#include <cstdint>
#include <string>

#include "capture/capture_library.h"

// The main window's handle (an HWND on Windows), shared by the shell, the
// display surface and the error report; null until the window exists.
inline void* MainWindow = nullptr;

// Inside WM_CREATE, after MainWindow is set: initialises the default input
// device and starts recording 44,100 Hz mono into CaptureChannel. On failure
// shows the error report and ends the process with status 0: returns only on
// success.
void StartCapture();

// In WM_DESTROY, after the timer has stopped: frees the recording.
void StopCapture();

// The record callback: data is pulled by the tick, so it only keeps the
// recording going.
int32_t CAPTURE_API CaptureProc(uint32_t handle, const void* buffer, uint32_t length, void* user);

// "text\r\n(error code: N)" with the library's last error code, in a message
// box owned by MainWindow under the caption "Error".
void ReportError(const char16_t* text);

// printf-style formatting by wvsprintfW: one pointer-sized slot per argument,
// the address of a string's characters or an integer's value.
std::u16string FormatText(const char16_t* format, const uintptr_t* arguments);
