#include "tools/screen.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <thread>

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), result.data(), size, nullptr, nullptr);
  return result;
}

int MillisecondsSince(Clock::time_point start) {
  return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

void Print(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {
BOOL CALLBACK CollectProgramWindow(HWND window, LPARAM found) {
  if (ClassOf(window) == ProgramClass) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}
}  // namespace

std::vector<HWND> ProgramWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectProgramWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND WaitForWindow(int timeoutMs, DWORD processId) {
  HWND found = nullptr;
  WaitUntil(timeoutMs, [&] {
    for (HWND window : ProgramWindows()) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if ((processId == 0 || owner == processId) && IsWindowVisible(window)) found = window;
    }
    return found != nullptr;
  });
  return found;
}

bool Grab(HWND window, Picture& picture) {
  static HDC memory = CreateCompatibleDC(nullptr);
  static HBITMAP bitmap = nullptr;
  static uint32_t* bits = nullptr;
  static SIZE size = {};
  RECT client = {};
  POINT origin = {0, 0};
  if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) return false;
  // Never less than the frame, as the window had before it was scaled.
  const SIZE wanted = {std::max<LONG>(client.right, PictureWidth), std::max<LONG>(client.bottom, PictureHeight)};
  if (bitmap == nullptr || wanted.cx != size.cx || wanted.cy != size.cy) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = wanted.cx;
    info.bmiHeader.biHeight = wanted.cy;  // bottom line first, like the frame
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bitmap == nullptr) return false;
    SelectObject(memory, bitmap);
    bits = static_cast<uint32_t*>(pixels);
    size = wanted;
  }
  HDC screen = GetDC(nullptr);
  const BOOL copied = BitBlt(memory, 0, 0, size.cx, size.cy, screen, origin.x, origin.y, SRCCOPY);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  if (!copied) return false;
  FromWindowPixels(bits, size.cx, size.cy, picture);
  return true;
}

uint32_t PixelAt(HDC windowDC, int column, int row) {
  const COLORREF colour = GetPixel(windowDC, column, PictureHeight - 1 - row);
  return uint32_t(GetRValue(colour)) << 16 | uint32_t(GetGValue(colour)) << 8 | GetBValue(colour);
}

bool Drawn(const Picture& picture) {
  for (uint32_t pixel : picture.pixels) {
    if (pixel == 0x00FF00) return true;
  }
  return false;
}

void Click(HWND window) {
  // The program acts on the release alone, wherever it comes from.
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(368, 127));
}
