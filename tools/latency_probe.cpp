// The delay from sound to screen, against the fastest client Windows allows:
// this probe records the default input itself (waveIn, 10 ms buffers, an
// event and a thread of its own) and reads the program's window off the
// display about every millisecond, both on QueryPerformanceCounter.
//
//   latency_probe ONSETS [SECONDS]
//
// Expects a freshly started program (linear view) and tone bursts with at
// least 0.2 s of silence before each onset. Prints "ready" once it records
// and sees a frame, then alternates the waveform and the linear view from
// one onset to the next until each has had ONSETS onsets (or SECONDS, 400 by
// default, have passed), one line per onset:
//
//   onset VIEW N delay_ms=D offset_ms=O heard_ms=H
//                                         the view showed onset N D ms after it was heard
//   unpaired VIEW N                       the view did not show it within 0.5 s
//
// An onset is heard when the probe's own buffer holding its first loud sample
// arrives (the wait for the buffer's event returns); O is how long before that
// arrival the onset lies in the buffer, H the arrival on QueryPerformanceCounter
// (for joining other logs of the same session). The view shows it at the first pixel
// read (middle of the read) that sees it:
// - waveform: the centre row of one of the four newest columns turns black
//   (silence draws it green all along; a tone moves the trace off it);
// - linear: the 1 kHz bar (column 90, bin 46) reaches row 20, which takes
//   about 8 ms of the tone in the spectrum's window.
// Ends with totals: onsets heard, rises seen that no onset explains, pixel
// reads per second.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/picture.h"
#include "tools/screen.h"
#include "visual/views.h"

namespace {
constexpr int SampleRate = 44100;
constexpr int BufferSamples = SampleRate / 100;  // 10 ms
constexpr int BufferCount = 8;
constexpr int LoudSample = 1000;                 // the bursts peak at 16384
constexpr int QuietBeforeOnset = SampleRate / 5;
constexpr int FirstBufferWaitMs = 5000;  // the idle null sink takes up to ~3 s to deliver
constexpr double PairWindowBeforeMs = 100;  // the program's own client may hear it a little earlier
constexpr double PairWindowAfterMs = 500;
constexpr double SwitchAfterOnsetMs = 600;  // in the bursts' silence
constexpr double SettleAfterClickMs = 150;  // the black frame a change leaves, then silence drawn
constexpr double QuietBeforeRiseMs = 50;

int64_t Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double TicksPerMs() {
  static const double perMs = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(frequency.QuadPart) / 1000;
  }();
  return perMs;
}

double Ms(int64_t ticks) { return double(ticks) / TicksPerMs(); }
int64_t Ticks(double ms) { return int64_t(ms * TicksPerMs()); }

struct Onset {
  int64_t heardAt;    // arrival of the buffer that holds it
  int samplesAfter;   // in that buffer, from the onset on
};

// Records the default input on a thread of its own and notes each onset.
class OnsetListener {
 public:
  bool Start() {
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = SampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = SampleRate * 2;
    if (waveInOpen(&device_, WAVE_MAPPER, &format, DWORD_PTR(event_), 0, CALLBACK_EVENT) != MMSYSERR_NOERROR)
      return false;
    for (int i = 0; i < BufferCount; ++i) {
      WAVEHDR& header = headers_[i];
      header.lpData = reinterpret_cast<LPSTR>(memory_[i]);
      header.dwBufferLength = sizeof memory_[i];
      waveInPrepareHeader(device_, &header, sizeof header);
      waveInAddBuffer(device_, &header, sizeof header);
    }
    thread_ = std::thread([this] { Run(); });
    return waveInStart(device_) == MMSYSERR_NOERROR;
  }

  void Stop() {
    stop_ = true;
    SetEvent(event_);
    thread_.join();
    waveInReset(device_);
    for (WAVEHDR& header : headers_) waveInUnprepareHeader(device_, &header, sizeof header);
    waveInClose(device_);
  }

  bool Hearing() const { return buffers_ > 0; }
  int Buffers() const { return buffers_; }

  // Onsets heard since the last call.
  std::vector<Onset> Take() {
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<Onset> taken;
    taken.swap(onsets_);
    return taken;
  }

 private:
  void Run() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    while (!stop_) {
      WaitForSingleObject(event_, 100);
      const int64_t arrived = Now();
      // Buffers come back in the order they were queued.
      while (!stop_ && (__atomic_load_n(&headers_[next_].dwFlags, __ATOMIC_ACQUIRE) & WHDR_DONE) != 0) {
        WAVEHDR& header = headers_[next_];
        Scan(memory_[next_], int(header.dwBytesRecorded / 2), arrived);
        header.dwFlags &= ~WHDR_DONE;
        waveInAddBuffer(device_, &header, sizeof header);
        next_ = (next_ + 1) % BufferCount;
        ++buffers_;
      }
    }
  }

  void Scan(const int16_t* samples, int count, int64_t arrived) {
    for (int i = 0; i < count; ++i) {
      if (std::abs(int(samples[i])) < LoudSample) {
        ++quietSamples_;
        continue;
      }
      if (quietSamples_ >= QuietBeforeOnset) {
        std::lock_guard<std::mutex> lock(lock_);
        onsets_.push_back({arrived, count - i});
      }
      quietSamples_ = 0;
    }
  }

  HANDLE event_ = nullptr;
  HWAVEIN device_ = nullptr;
  WAVEHDR headers_[BufferCount] = {};
  int16_t memory_[BufferCount][BufferSamples] = {};
  int next_ = 0;
  int quietSamples_ = 0;
  std::atomic<int> buffers_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex lock_;
  std::vector<Onset> onsets_;
};

using View = int32_t;  // a display mode (visual/views.h): the waveform or the linear view

constexpr int ToneColumn = 90;  // bin 46, the one nearest 1 kHz

// A few pixels, read where the tone first shows: its bar in the linear view,
// the four newest columns of the waveform.
bool ShowsTone(HDC window, View view) {
  auto green = [&](int column, int row) { return PixelAt(window, column, row) == 0x00FF00; };
  if (view == LinearSpectrumMode) return ColumnShowsSound(view, ToneColumn, green);
  for (int column = PictureWidth - 4; column < PictureWidth; ++column) {
    if (ColumnShowsSound(view, column, green)) return true;
  }
  return false;
}

// In silence the waveform is a green centre line; the linear view lights the
// bottom row only.
bool ShowsSilenceOf(HDC window, View view) {
  const uint32_t centre = PixelAt(window, PictureWidth / 2, WaveformCentreRow);
  const uint32_t bottom = PixelAt(window, PictureWidth / 2, 0);
  return view == WaveformMode ? centre == 0x00FF00 : (bottom == 0x00FF00 && centre == 0);
}

struct Rise {
  int64_t at;
  View view;
  bool paired = false;
};

int Run(int onsetsPerView, int seconds) {
  HWND window = WaitForWindow(WindowWaitMs);
  if (window == nullptr) {
    std::puts("FAILED no window of class \"Kivotra\"");
    return 1;
  }
  OnsetListener listener;
  if (!listener.Start()) {
    std::puts("FAILED cannot record the default input");
    return 1;
  }
  Picture picture;
  if (!WaitUntil(FirstBufferWaitMs, [&] { return listener.Hearing(); }) ||
      !WaitForPicture(window, picture, FirstBufferWaitMs, Drawn)) {
    std::puts("FAILED no sound recorded or no frame drawn");
    listener.Stop();
    return 1;
  }
  HDC dc = GetDC(window);
  timeBeginPeriod(1);

  View view = LinearSpectrumMode;  // as the program starts
  int64_t settledAt = 0;
  auto show = [&](View wanted) {
    for (int i = 0; i < (wanted - view + DisplayModeCount) % DisplayModeCount; ++i) Click(window);
    view = wanted;
    settledAt = Now() + Ticks(SettleAfterClickMs);
  };
  show(WaveformMode);
  std::puts("ready");
  std::fflush(stdout);

  std::vector<Rise> rises;
  std::vector<Onset> pending;
  int done[DisplayModeCount] = {}, paired[DisplayModeCount] = {}, viewMismatches = 0, unsettled = 0;
  bool wasShown = true;
  int64_t quietFrom = 0;
  int64_t reads = 0;
  const int64_t startedAt = Now(), endAt = startedAt + Ticks(seconds * 1000.0);
  bool checkView = true;

  while ((done[WaveformMode] < onsetsPerView || done[LinearSpectrumMode] < onsetsPerView) && Now() < endAt) {
    if (!IsWindow(window)) {
      std::puts("FAILED the window went away");
      break;
    }
    const int64_t before = Now();
    const bool shown = ShowsTone(dc, view);
    const int64_t readAt = (before + Now()) / 2;
    ++reads;
    if (readAt < settledAt) {
      wasShown = true;  // a rise must follow a quiet spell seen after the change
    } else {
      if (checkView) {
        if (!ShowsSilenceOf(dc, view)) ++viewMismatches;
        checkView = false;
      }
      if (shown && !wasShown && readAt - quietFrom >= Ticks(QuietBeforeRiseMs)) rises.push_back({readAt, view});
      if (!shown && wasShown) quietFrom = readAt;
      wasShown = shown;
    }

    for (const Onset& onset : listener.Take()) pending.push_back(onset);
    while (!pending.empty() && Now() - pending.front().heardAt >= Ticks(SwitchAfterOnsetMs)) {
      const Onset onset = pending.front();
      pending.erase(pending.begin());
      if (onset.heardAt < settledAt) {  // heard while the view was changing
        ++unsettled;
        continue;
      }
      const int number = ++done[view];
      const Rise* first = nullptr;
      for (Rise& rise : rises) {
        const double after = Ms(rise.at - onset.heardAt);
        if (rise.view == view && !rise.paired && after >= -PairWindowBeforeMs && after <= PairWindowAfterMs) {
          rise.paired = true;
          if (first == nullptr) first = &rise;
        }
      }
      if (first != nullptr) {
        ++paired[view];
        std::printf("onset %s %d delay_ms=%.2f offset_ms=%.2f heard_ms=%.3f\n", ViewNames[view], number,
                    Ms(first->at - onset.heardAt), onset.samplesAfter * 1000.0 / SampleRate, Ms(onset.heardAt));
      } else {
        std::printf("unpaired %s %d\n", ViewNames[view], number);
      }
      std::fflush(stdout);
      if (done[WaveformMode] >= onsetsPerView && done[LinearSpectrumMode] >= onsetsPerView) break;
      show(view == WaveformMode ? LinearSpectrumMode : WaveformMode);
      checkView = true;
    }
    Sleep(1);
  }

  const double elapsedMs = Ms(Now() - startedAt);
  int unexplained = 0;
  for (const Rise& rise : rises) unexplained += rise.paired ? 0 : 1;
  timeEndPeriod(1);
  ReleaseDC(window, dc);
  listener.Stop();
  std::printf("heard %s=%d %s=%d paired %s=%d %s=%d\n", ViewNames[WaveformMode], done[WaveformMode],
              ViewNames[LinearSpectrumMode], done[LinearSpectrumMode], ViewNames[WaveformMode], paired[WaveformMode],
              ViewNames[LinearSpectrumMode], paired[LinearSpectrumMode]);
  std::printf("onsets_while_changing_view=%d rises_unexplained=%d view_mismatches=%d\n", unsettled, unexplained,
              viewMismatches);
  std::printf("pixel_polls_per_s=%.0f buffers=%d\n", reads * 1000 / elapsedMs, listener.Buffers());
  const bool complete = done[WaveformMode] >= onsetsPerView && done[LinearSpectrumMode] >= onsetsPerView;
  if (!complete) std::puts("FAILED too few onsets heard in time");
  return complete && viewMismatches == 0 ? 0 : 1;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || _wtoi(argv[1]) <= 0) {
    std::fputs("usage: latency_probe ONSETS [SECONDS]\n", stderr);
    return 2;
  }
  return Run(_wtoi(argv[1]), argc > 2 ? _wtoi(argv[2]) : 400);
}
