// Beside scripts/soak, which starts the program, plays changing sound and
// restarts the audio server (creating DIR\lost-N once server N is gone and
// DIR\restored-N once it is back): clicks through the views, samples the
// process's Windows-side resources and times each recovery. The script adds
// what Linux knows of the process.
//
//   soak_sampler DIR SECONDS
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tools/picture.h"
#include "tools/screen.h"
#include "visual/views.h"

namespace {
constexpr int SoakClickMs = 3000;
constexpr int SoakSampleMs = 10000;
constexpr int RecoveryGiveUpMs = 15000;

// A process with a window always holds GDI and USER objects, so 0 means the
// system does not say (Wine's GetGuiResources is a stub that returns 0).
std::string GuiObjects(HANDLE process, DWORD kind) {
  const DWORD count = GetGuiResources(process, kind);
  return count == 0 ? "unreported" : std::to_string(count);
}

// Wine answers GetProcessHandleCount with 0 for another process; its system
// handle table is filled in, so the process's entries there are counted.
std::string HandleCount(HANDLE process, DWORD processId) {
  DWORD count = 0;
  if (GetProcessHandleCount(process, &count) && count > 0) return std::to_string(count);
  constexpr NTSTATUS LengthMismatch = NTSTATUS(0xC0000004);
  std::vector<uint8_t> table(1 << 18);
  NTSTATUS status;
  ULONG needed = 0;
  while ((status = NtQuerySystemInformation(SYSTEM_INFORMATION_CLASS(SystemHandleInformation), table.data(),
                                            ULONG(table.size()), &needed)) == LengthMismatch) {
    table.resize(table.size() * 2);
  }
  if (status != 0) return "unreported";
  const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(table.data());
  count = 0;
  for (ULONG i = 0; i < info->Count; ++i) count += info->Handle[i].OwnerPid == processId;
  return count == 0 ? "unreported" : std::to_string(count);
}

void PrintSample(HANDLE process, DWORD processId, int seconds) {
  Print("sample t=%d handles=%s gdi=%s user=%s", seconds, HandleCount(process, processId).c_str(),
        GuiObjects(process, GR_GDIOBJECTS).c_str(), GuiObjects(process, GR_USEROBJECTS).c_str());
}

int SoakCommand(const std::wstring& markers, int seconds) {
  HWND window = WaitForWindow(WindowWaitMs);
  DWORD processId = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId);
  if (window == nullptr || process == nullptr) {
    Print("FAILED no window of class \"Kivotra\" or no access to its process");
    return 1;
  }
  int view = 0;  // the program starts in the first view
  int clicks = 0;
  auto nextView = [&](bool wait) {
    // Sent rather than posted when the next picture must be of the new view.
    if (wait) {
      SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(368, 127));
    } else {
      Click(window);
    }
    ++clicks;
    view = (view + 1) % DisplayModeCount;
  };
  // Between DIR\lost-N and DIR\restored-N the server is away; the recovery is
  // timed from restored-N to the first picture with sound after a silent one
  // (so that no picture from before the loss counts).
  enum class Audio { Playing, Away, Returned } audio = Audio::Playing;
  int restarts = 0;
  bool silenceSeen = false;
  Picture picture;
  const auto start = Clock::now();
  auto lastClick = start;
  auto returnedAt = start;
  int nextSampleMs = 0;
  int result = 0;
  auto marker = [&](const wchar_t* name) {
    return Exists(markers + L"\\" + name + L"-" + std::to_wstring(restarts + 1));
  };
  while (MillisecondsSince(start) < seconds * 1000) {
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
      DWORD status = 0;
      GetExitCodeProcess(process, &status);
      Print("FAILED program-ended status=%lu t=%d", status, MillisecondsSince(start) / 1000);
      result = 1;
      break;
    }
    if (MillisecondsSince(start) >= nextSampleMs) {
      PrintSample(process, processId, nextSampleMs / 1000);
      nextSampleMs += SoakSampleMs;
    }
    if (audio == Audio::Playing && marker(L"lost")) {
      audio = Audio::Away;
      silenceSeen = false;
      if (view == SpectrogramMode) nextView(true);
    }
    if (audio == Audio::Away && marker(L"restored")) {
      audio = Audio::Returned;
      returnedAt = Clock::now();
      ++restarts;
    }
    if (audio == Audio::Playing) {
      if (MillisecondsSince(lastClick) >= SoakClickMs) {
        nextView(false);
        lastClick = Clock::now();
      }
      Pause(20);
      continue;
    }
    const bool sound = Grab(window, picture) && ShowsSound(picture, view);
    if (!sound) silenceSeen = true;
    if (audio == Audio::Returned) {
      const int waited = MillisecondsSince(returnedAt);
      if (sound && silenceSeen) {
        Print("recovered n=%d ms=%d view=%s", restarts, waited, ViewNames[view]);
        audio = Audio::Playing;
        lastClick = Clock::now();
      } else if (waited > RecoveryGiveUpMs) {
        Print("recovered n=%d ms=-1 view=%s (silence_seen=%d, no sound within %d ms)", restarts, ViewNames[view],
              silenceSeen, RecoveryGiveUpMs);
        audio = Audio::Playing;
      }
    }
    Pause(3);
  }
  Print("soak-done clicks=%d returns_seen=%d", clicks, restarts);
  CloseHandle(process);
  return result;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: soak_sampler DIR SECONDS\n", stderr);
    return 2;
  }
  return SoakCommand(argv[1], _wtoi(argv[2]));
}
