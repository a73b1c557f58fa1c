#include "visual/tick.h"

#include <memory>
#include <new>

#include "capture/capture_library.h"
#include "visual/frame.h"
#include "visual/presentation.h"
#include "visual/renderers.h"

int32_t DisplayMode = LinearSpectrumMode;
int32_t ScrollColumn = 0;
uint32_t QuietTicks = 0;
std::mutex FrameLock;
bool TickGateClosed = false;

namespace {
constexpr uint32_t SampleRequestBytes = WaveformSampleCount * sizeof(int16_t);
constexpr uint32_t QuietLevel = 1000;       // below this the input counts as quiet
constexpr uint32_t QuietDelayTicks = 60;    // 1.5 s of quiet before the prompt
constexpr uint32_t BlinkMask = 16;          // 16 ticks shown, 16 hidden
constexpr char16_t QuietPrompt[] = u"Please Dovrin, sing or make noise !";

void DrawView(int32_t mode) {
  if (mode == WaveformMode) {
    ClearFrame();
    // Zero-filled: a short delivery draws flat. Without the memory this tick
    // shows a black frame rather than throw into the timer's thread.
    const std::unique_ptr<int16_t[]> TBuf(new (std::nothrow) int16_t[WaveformSampleCount]());
    if (TBuf == nullptr) return;
    BASS_ChannelGetData(CaptureChannel, TBuf.get(), SampleRequestBytes);
    DrawWaveform(TBuf.get());
    return;
  }
  float fftBins[FftBinCount] = {};  // zero-filled: a short delivery draws as silence
  BASS_ChannelGetData(CaptureChannel, fftBins, BASS_DATA_FFT2048);
  if (mode == LinearSpectrumMode) DrawLinearSpectrum(fftBins);
  if (mode == BandSpectrumMode) DrawBandSpectrum(fftBins);
  if (mode == SpectrogramMode) DrawSpectrogram(fftBins);
}

void UpdateQuietPrompt() {
  const uint32_t level = BASS_ChannelGetLevel(CaptureChannel) & 0xFFFF;
  if (level >= QuietLevel) {
    QuietTicks = 0;
    return;
  }
  ++QuietTicks;
  if (QuietTicks > QuietDelayTicks && (QuietTicks & BlinkMask) != 0) DrawQuietPrompt(QuietPrompt);
}
}  // namespace

void TIMER_CALLBACK RenderTick(unsigned int, unsigned int, TimerWord, TimerWord, TimerWord) {
  std::lock_guard<std::mutex> lock(FrameLock);
  // Without a surface there is no frame to draw into or to show.
  if (TickGateClosed || FrameBits == nullptr) return;
  DrawView(DisplayMode);
  PresentFrame();
  UpdateQuietPrompt();
  EndPresent();
}

void NextDisplayMode() {
  std::lock_guard<std::mutex> lock(FrameLock);
  DisplayMode = (DisplayMode + 1) % DisplayModeCount;
  if (DisplayMode == SpectrogramMode) ScrollColumn = 0;
  if (!TickGateClosed) ClearFrame();
}

void CloseTickGate() {
  std::lock_guard<std::mutex> lock(FrameLock);
  TickGateClosed = true;
}
