// The window and how the program starts: its form and place, a second start
// handing over to the first, and the message boxes of the starts that fail.
#include <algorithm>
#include <string>
#include <vector>

#include "tools/driver/driver.h"

namespace {
constexpr wchar_t ProgramTitle[] = L"Kivotra - Dovrin K. - 2023";
constexpr LONG ProgramStyle = LONG(0x80C80000);

// Shows control characters the way they are written in C.
std::string Visible(const std::wstring& text) {
  std::string result;
  for (char c : Utf8(text)) {
    if (c == '\r') {
      result += "\\r";
    } else if (c == '\n') {
      result += "\\n";
    } else {
      result += c;
    }
  }
  return result;
}

std::wstring Unescape(const std::wstring& text) {
  std::wstring result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && (text[i + 1] == L'r' || text[i + 1] == L'n')) {
      result += text[++i] == L'r' ? L'\r' : L'\n';
    } else {
      result += text[i];
    }
  }
  return result;
}

struct BoxSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<BoxSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && ClassOf(window) == L"#32770" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindMessageBox(DWORD processId) {
  BoxSearch search = {processId, nullptr};
  EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK MatchMessageText(HWND child, LPARAM found) {
  std::wstring text = TextOf(child);
  if (ClassOf(child) == L"Static" && !text.empty()) {
    *reinterpret_cast<std::wstring*>(found) = text;
    return FALSE;
  }
  return TRUE;
}

// The message text: the box's static control that is not the icon.
std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(box, MatchMessageText, reinterpret_cast<LPARAM>(&text));
  return text;
}
}  // namespace

int WindowCommand(const std::wstring& exe) {
  Program program(exe);
  HWND window = program.Window();
  Check(window != nullptr, "a window of class \"Kivotra\" appears");
  if (window == nullptr) return 1;

  Print("class=%s", Utf8(ClassOf(window)).c_str());
  Print("title=%s", Utf8(TextOf(window)).c_str());
  Check(TextOf(window) == ProgramTitle, "title is \"Kivotra - Dovrin K. - 2023\"");

  const LONG style = GetWindowLongW(window, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS | WS_MINIMIZE);
  const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE;
  Print("style=0x%08lX exstyle=0x%08lX", GetWindowLongW(window, GWL_STYLE), GetWindowLongW(window, GWL_EXSTYLE));
  Check(style == (ProgramStyle & ~WS_VISIBLE), "style is WS_POPUP | WS_CAPTION | WS_SYSMENU");
  Check(exStyle == 0, "no extended style");

  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  Print("system_dpi=%d", dpi);
  Check(dpi == CaseDpi(), "the system runs at the case's DPI");

  RECT client = {};
  GetClientRect(window, &client);
  const int clientWidth = WindowPixels(736);
  const int clientHeight = WindowPixels(255);
  Print("client=%ldx%ld expected=%dx%d", client.right - client.left, client.bottom - client.top, clientWidth,
        clientHeight);
  Check(client.right == clientWidth && client.bottom == clientHeight,
        "client area is 736 x 255, above 100 % times the scale");

  const int width = 2 * GetSystemMetrics(SM_CXDLGFRAME) + clientWidth;
  const int height = 2 * GetSystemMetrics(SM_CYDLGFRAME) + clientHeight + GetSystemMetrics(SM_CYCAPTION);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  RECT frame = {};
  GetWindowRect(window, &frame);
  Print("window=%ld,%ld %ldx%ld expected=%d,%d %dx%d", frame.left, frame.top, frame.right - frame.left,
        frame.bottom - frame.top, x, y, width, height);
  Check(frame.left == x && frame.top == y && frame.right - frame.left == width && frame.bottom - frame.top == height,
        "window is centred on the screen with the dialog-frame and caption measures");

  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  Check(processId == program.process.dwProcessId, "the window belongs to the started process");
  wchar_t image[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  QueryFullProcessImageNameW(program.process.hProcess, 0, image, &size);
  DWORD binaryType = 99;
  GetBinaryTypeW(image, &binaryType);
  BOOL wow64 = FALSE;
  IsWow64Process(program.process.hProcess, &wow64);
  Print("image=%s binary_type=%lu wow64=%d", Utf8(image).c_str(), binaryType, wow64);
  // The driver is built as the program is: 64-bit only on the test bed for
  // machines that run no 32-bit code.
  constexpr DWORD BuiltBinaryType = sizeof(void*) == 4 ? SCS_32BIT_BINARY : SCS_64BIT_BINARY;
  Check(binaryType == BuiltBinaryType, "the program is a Windows executable of the build's width");

  Picture picture;
  Check(WaitForPicture(window, picture, 2000, Drawn),
        "the first frames are drawn");
  program.CloseAndCheck();
  return CommandStatus();
}

int SecondStartCommand(const std::wstring& exe) {
  Program first(exe);
  HWND window = first.Window();
  if (window == nullptr) return 1;
  Picture picture;
  WaitForPicture(window, picture, 2000, Drawn);

  {
    Program second(exe);
    const long status = second.Exit(WindowWaitMs);
    Print("second_exit_status=%ld windows=%zu", status, ProgramWindows().size());
    Check(status == 254, "a second start while the first runs exits with 254");
    Check(ProgramWindows().size() == 1, "no second window");
  }

  ShowWindow(window, SW_MINIMIZE);
  Check(IsIconic(window), "the first window is minimised");
  size_t mostWindows = 0;
  long status = -1;
  {
    Program second(exe);
    WaitUntil(WindowWaitMs, [&] {
      mostWindows = std::max(mostWindows, ProgramWindows().size());
      return (status = second.Exit(0)) != -1;
    });
  }
  Print("second_exit_status=%ld most_windows=%zu iconic=%d foreground=%d", status, mostWindows, IsIconic(window),
        GetForegroundWindow() == window);
  Check(status == 254, "a second start exits with 254 while the first is minimised");
  Check(mostWindows == 1, "the second start never shows a window of its own");
  Check(!IsIconic(window), "the second start restores the minimised first window");
  Check(GetForegroundWindow() == window, "and brings it to the front");
  RECT client = {};
  GetClientRect(window, &client);
  Check(client.right == 736 && client.bottom == 255, "the restored window has its 736 x 255 client area");
  Check(WaitForPicture(window, picture, 1000, Drawn),
        "the restored window draws again");
  first.CloseAndCheck();
  return CommandStatus();
}

int ExpectBoxCommand(const std::wstring& exe, const std::wstring& caption, const std::wstring& text,
                     const std::wstring& ownership) {
  Program program(exe);
  HWND box = nullptr;
  WaitUntil(WindowWaitMs, [&] {
    box = FindMessageBox(program.process.dwProcessId);
    return box != nullptr || program.Exit(0) != -1;
  });
  Check(box != nullptr, "a message box appears");
  if (box == nullptr) return 1;
  Pause(100);  // let the box finish laying itself out

  const std::wstring shownCaption = TextOf(box);
  const std::wstring shownText = MessageBoxText(box);
  Print("caption=\"%s\" text=\"%s\"", Visible(shownCaption).c_str(), Visible(shownText).c_str());
  Check(shownCaption == caption, "the caption is exact");
  Check(shownText == Unescape(text), "the text is exact");

  HWND owner = GetWindow(box, GW_OWNER);
  const std::vector<HWND> windows = ProgramWindows();
  Print("owner_class=%s program_windows=%zu", owner ? Utf8(ClassOf(owner)).c_str() : "(none)", windows.size());
  if (ownership == L"unowned") {
    Check(owner == nullptr && windows.empty(), "the box has no owner and no window exists yet");
  } else {
    Check(owner != nullptr && ClassOf(owner) == ProgramClass, "the box is owned by the program's window");
    Check(owner != nullptr && !IsWindowVisible(owner), "the window was never shown");
  }
  Check(GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr, "a single OK button");

  PostMessageW(box, WM_COMMAND, IDOK, 0);
  const long status = program.Exit(ExitWaitMs);
  Print("exit_status=%ld", status);
  Check(status == 0, "the process ends with status 0 once the box is closed");
  Check(ProgramWindows().empty(), "no window is left");
  return CommandStatus();
}
