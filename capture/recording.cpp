#include "capture/recording.h"

#include <vector>

#include "capture/report_platform.h"

namespace {

constexpr uint32_t RecordFrequency = 44100;
constexpr uint32_t RecordChannels = 1;
constexpr uint32_t RecordFlags = 0;
constexpr size_t FormatBufferSize = 65536;
constexpr uint32_t StartupErrorStatus = 0;

[[noreturn]] void Abandon(const char16_t* text) {
  ReportError(text);
  EndProcess(StartupErrorStatus);
}

}  // namespace

void StartCapture() {
  if (BASS_RecordInit(DefaultInputDevice) == 0) Abandon(u"Can't initialize device");
  CaptureChannel = BASS_RecordStart(RecordFrequency, RecordChannels, RecordFlags, CaptureProc, nullptr);
  if (CaptureChannel == 0) Abandon(u"Can't start recording");
}

void StopCapture() { BASS_RecordFree(); }

int32_t CAPTURE_API CaptureProc(uint32_t, const void*, uint32_t, void*) { return 1; }

void ReportError(const char16_t* text) {
  const int32_t code = BASS_ErrorGetCode();
  // %d reads a 32-bit int: the code goes in as its two's-complement bits.
  const uintptr_t arguments[] = {reinterpret_cast<uintptr_t>(text),
                                 static_cast<uintptr_t>(static_cast<uint32_t>(code))};
  const std::u16string message = FormatText(u"%s\r\n(error code: %d)", arguments);
  ShowMessageBox(MainWindow, message.c_str(), u"Error", ErrorIconStyle);
}

std::u16string FormatText(const char16_t* format, const uintptr_t* arguments) {
  std::vector<char16_t> buffer(FormatBufferSize, u'\0');
  FormatIntoBuffer(buffer.data(), format, arguments);
  return std::u16string(buffer.data());
}
