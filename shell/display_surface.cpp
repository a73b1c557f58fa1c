#include "shell/display_surface.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "capture/recording.h"
#include "shell/window_dpi.h"
#include "win32/system_dll.h"
#include "visual/frame.h"
#include "visual/presentation.h"
#include "visual/sharp_scale.h"
#include "visual/tick.h"

HBITMAP FrameBitmap = nullptr;
HDC MemoryDC = nullptr;

namespace {
// The window's context, held by the tick from PresentFrame to EndPresent.
HDC PresentDC = nullptr;
// Made for the window's DPI under FrameLock; the tick only selects it.
HFONT PromptFont = nullptr;
// Between 100 and 200 %: the frame scaled to the window's size, 32 bits a
// pixel, top row first, in a memory context of its own.
HBITMAP ScaledBitmap = nullptr;
HDC ScaledDC = nullptr;
uint32_t* ScaledBits = nullptr;

constexpr COLORREF PromptColour = RGB(255, 255, 255);
constexpr UINT PromptFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr int BlockDpi = 2 * DefaultDpi;  // from here each frame pixel is a block of whole pixels

HWND Window() { return static_cast<HWND>(MainWindow); }

bool SharpScaling() { return WindowDpi > DefaultDpi && WindowDpi < BlockDpi; }

// Copies the whole frame to (0, 0) of the target at the window's DPI, the
// same for the tick and the paint. Called with FrameLock held.
void CopyFrame(HDC target) {
  const int width = ToWindowPixels(FrameWidth);
  const int height = ToWindowPixels(FrameHeight);
  if (WindowDpi == DefaultDpi) {
    // In bands: Wine converts the 8-bit frame for the window through a
    // scratch buffer as large as the copy; at full size (750 KB) that buffer
    // is mapped afresh on every copy and its page faults doubled the
    // program's CPU use. Half-size copies reuse it.
    constexpr int TopBand = FrameHeight / 2 + 1;  // 128 rows, then 127
    BitBlt(target, 0, 0, FrameWidth, TopBand, MemoryDC, 0, 0, SRCCOPY);
    BitBlt(target, 0, TopBand, FrameWidth, FrameHeight - TopBand, MemoryDC, 0, TopBand, SRCCOPY);
  } else if (SharpScaling() && ScaledBits != nullptr) {
    // Windows' smooth stretch blurs every line, and nearest neighbour makes
    // frame pixels one and two pixels wide side by side.
    ScaleFrameSharp(FrameBits, FramePalette, ScaledBits, width, height);
    BitBlt(target, 0, 0, width, height, ScaledDC, 0, 0, SRCCOPY);
  } else {
    // Nearest neighbour: each frame pixel a block of whole pixels, none
    // blended. In bands of no more window pixels than the 96-dpi bands, so
    // that Wine's scratch buffer is reused.
    SetStretchBltMode(target, COLORONCOLOR);
    const int bandRows = std::max(1, (FrameHeight / 2 + 1) * DefaultDpi * DefaultDpi / (WindowDpi * WindowDpi));
    for (int top = 0; top < FrameHeight; top += bandRows) {
      const int rows = std::min(bandRows, FrameHeight - top);
      const int windowTop = ToWindowPixels(top);
      StretchBlt(target, 0, windowTop, width, ToWindowPixels(top + rows) - windowTop, MemoryDC, 0, top, FrameWidth,
                 rows, SRCCOPY);
    }
  }
  // GDI may batch the copies and read FrameBits (or ScaledBits) later;
  // Windows requires a flush before a DIB's memory is written again, and the
  // lock must not be let go before it.
  GdiFlush();
}

// The window's default font, the system font, at the window's DPI: 16 pixels
// tall at 96 dpi (the stock font is not made for every DPI). Unsmoothed, as
// the system font is at 96 dpi, so that the prompt stays white over the
// frame's green and black. Null where the stock font is the 96-dpi one and
// the window is at 96 dpi: the window's own font serves.
HFONT CreatePromptFont() {
  constexpr int SystemFontHeight = 16;
  if (WindowDpi == DefaultDpi && SystemDpi == DefaultDpi) return nullptr;
  LOGFONTW font;
  if (GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font) == 0) return nullptr;
  font.lfHeight = ToWindowPixels(SystemFontHeight);
  font.lfWidth = 0;
  font.lfQuality = NONANTIALIASED_QUALITY;
  return CreateFontIndirectW(&font);
}

// The scaled copy's bitmap at the window's size, between 100 and 200 %.
void CreateScaledBitmap() {
  if (!SharpScaling()) return;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = ToWindowPixels(FrameWidth);
  info.bmiHeader.biHeight = -ToWindowPixels(FrameHeight);  // negative: top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  ScaledBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (ScaledBitmap == nullptr) return;  // the copy falls back to nearest neighbour
  ScaledDC = CreateCompatibleDC(nullptr);
  SelectObject(ScaledDC, ScaledBitmap);
  ScaledBits = static_cast<uint32_t*>(bits);
}

void ReleaseScaledObjects() {
  if (ScaledDC != nullptr) DeleteDC(ScaledDC);
  if (ScaledBitmap != nullptr) DeleteObject(ScaledBitmap);
  if (PromptFont != nullptr) DeleteObject(PromptFont);
  ScaledDC = nullptr;
  ScaledBitmap = nullptr;
  ScaledBits = nullptr;
  PromptFont = nullptr;
}
}  // namespace

void CreateDisplaySurface() {
  // A bitmap-info record with one colour entry plus the palette: room for the
  // header and all 256 entries, with 4 bytes to spare.
  union {
    BITMAPINFO info;
    unsigned char bytes[sizeof(BITMAPINFO) + sizeof FramePalette];
  } header;
  static_assert(sizeof header == 1068, "bitmap header block");
  std::memset(&header, 0, sizeof header);
  static_assert(sizeof FramePalette == PaletteSize * sizeof(RGBQUAD), "palette entries are RGBQUADs");

  BITMAPINFOHEADER& bitmap = header.info.bmiHeader;
  bitmap.biSize = sizeof bitmap;
  bitmap.biWidth = FrameWidth;
  bitmap.biHeight = FrameHeight;  // positive: bottom row first, as the frame is stored
  bitmap.biPlanes = 1;
  bitmap.biBitCount = 8;
  bitmap.biCompression = BI_RGB;
  bitmap.biClrUsed = PaletteSize;
  bitmap.biClrImportant = PaletteSize;
  FillPalette();
  std::memcpy(header.info.bmiColors, FramePalette, sizeof FramePalette);

  void* bits = nullptr;
  FrameBitmap = CreateDIBSection(nullptr, &header.info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // Without a bitmap FrameBits stays null, and the tick draws nothing at all.
  if (FrameBitmap != nullptr) FrameBits = static_cast<uint8_t*>(bits);
  MemoryDC = CreateCompatibleDC(nullptr);
  SelectObject(MemoryDC, FrameBitmap);
}

void SetSurfaceDpi(int dpi) {
  // The tick draws with all of these under the same lock: it sees the old
  // scale or the new one, never half of each.
  std::lock_guard<std::mutex> lock(FrameLock);
  ReleaseScaledObjects();
  WindowDpi = dpi;
  PromptFont = CreatePromptFont();
  CreateScaledBitmap();
}

void PresentFrame() {
  // Only the timer's thread presents: named at its first frame, for profilers.
  static bool tick_thread_named = false;
  if (!tick_thread_named) {
    NameThisThread(L"Kivotra tick");
    tick_thread_named = true;
  }
  PresentDC = GetDC(Window());
  CopyFrame(PresentDC);
}

void DrawQuietPrompt(const char16_t* text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");
  RECT picture;
  SetRect(&picture, 0, 0, ToWindowPixels(FrameWidth), ToWindowPixels(FrameHeight));
  SetTextColor(PresentDC, PromptColour);
  SetBkMode(PresentDC, TRANSPARENT);
  const HGDIOBJ windowFont = PromptFont != nullptr ? SelectObject(PresentDC, PromptFont) : nullptr;
  DrawTextW(PresentDC, reinterpret_cast<const wchar_t*>(text), -1, &picture, PromptFormat);
  if (windowFont != nullptr) SelectObject(PresentDC, windowFont);
}

void EndPresent() {
  ReleaseDC(Window(), PresentDC);
  PresentDC = nullptr;
  // Wine puts a window's drawing on the X display when a thread of the
  // process waits for messages, and GdiFlush does not while another thread
  // waits often (winmm's audio thread does, every 10 ms). A zero wait shows
  // the frame and the prompt now instead of up to 12 ms later, and keeps the
  // prompt's first 75 ms from being lost. On Windows it returns at once.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

bool PaintWindow(HWND window) {
  if (!GetUpdateRect(window, nullptr, FALSE)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) return true;
  {
    // The tick copies from MemoryDC too, and may be drawing into the frame.
    std::lock_guard<std::mutex> lock(FrameLock);
    CopyFrame(dc);
  }
  EndPaint(window, &paint);
  return true;
}

void ReleaseDisplaySurface() {
  if (MemoryDC != nullptr) DeleteDC(MemoryDC);
  if (FrameBitmap != nullptr) DeleteObject(FrameBitmap);
  ReleaseScaledObjects();
}
