#include "shell/display_surface.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "capture/recording.h"
#include "shell/window_dpi.h"
#include "win32/system_dll.h"
#include "visual/frame.h"
#include "visual/presentation.h"
#include "visual/tick.h"

HBITMAP FrameBitmap = nullptr;
HDC MemoryDC = nullptr;

namespace {
// The window's context, held by the tick from PresentFrame to EndPresent.
HDC PresentDC = nullptr;
// Made once in WM_CREATE; the tick only selects it.
HFONT PromptFont = nullptr;

constexpr COLORREF PromptColour = RGB(255, 255, 255);
constexpr UINT PromptFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

HWND Window() { return static_cast<HWND>(MainWindow); }

// Copies the whole frame to (0, 0) of the target, in bands. Wine converts
// the 8-bit frame for the window through a scratch buffer as large as the
// copy; at full size (750 KB) that buffer is mapped afresh on every copy and
// its page faults doubled the program's CPU use. Half-size copies reuse it,
// and so do the scaled copies' bands, which are no larger.
// Called with FrameLock held.
void CopyFrame(HDC target) {
  if (WindowDpi == DefaultDpi) {
    constexpr int TopBand = FrameHeight / 2 + 1;  // 128 rows, then 127
    BitBlt(target, 0, 0, FrameWidth, TopBand, MemoryDC, 0, 0, SRCCOPY);
    BitBlt(target, 0, TopBand, FrameWidth, FrameHeight - TopBand, MemoryDC, 0, TopBand, SRCCOPY);
  } else {
    // Nearest neighbour: each frame pixel a block of whole pixels, none blended.
    SetStretchBltMode(target, COLORONCOLOR);
    const int width = ToWindowPixels(FrameWidth);
    const int bandRows = std::max(1, (FrameHeight / 2 + 1) * DefaultDpi * DefaultDpi / (WindowDpi * WindowDpi));
    for (int top = 0; top < FrameHeight; top += bandRows) {
      const int rows = std::min(bandRows, FrameHeight - top);
      const int windowTop = ToWindowPixels(top);
      StretchBlt(target, 0, windowTop, width, ToWindowPixels(top + rows) - windowTop, MemoryDC, 0, top, FrameWidth,
                 rows, SRCCOPY);
    }
  }
  // GDI may batch the copies and read FrameBits later; Windows requires a
  // flush before the DIB's memory is written again, and the lock must not be
  // let go before it.
  GdiFlush();
}

// The window's default font, the system font, at the window's DPI: 16 pixels
// tall at 96 dpi (the stock font is not made for the system's DPI everywhere).
// Unsmoothed, as the system font is at 96 dpi, so that the prompt stays white
// over the frame's green and black. Null at 96 dpi, where the window's own
// font serves.
HFONT CreatePromptFont() {
  constexpr int SystemFontHeight = 16;
  if (WindowDpi == DefaultDpi) return nullptr;
  LOGFONTW font;
  if (GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font) == 0) return nullptr;
  font.lfHeight = ToWindowPixels(SystemFontHeight);
  font.lfWidth = 0;
  font.lfQuality = NONANTIALIASED_QUALITY;
  return CreateFontIndirectW(&font);
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
  PromptFont = CreatePromptFont();
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
  if (PromptFont != nullptr) DeleteObject(PromptFont);
}
