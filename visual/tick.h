// The frame tick (40 times a second, on the timer's thread) and the display
// mode it draws (changed on the GUI thread).
#pragma once

#include <cstdint>
#include <mutex>

enum : int32_t {
  LinearSpectrumMode = 0,
  BandSpectrumMode = 1,
  SpectrogramMode = 2,
  WaveformMode = 3,
  DisplayModeCount = 4,
};

extern int32_t DisplayMode;   // 0..3, the view drawn by the next tick
extern int32_t ScrollColumn;  // 0..735, the spectrogram's next data column
extern uint32_t QuietTicks;   // consecutive ticks whose input level was quiet

// Guards the frame and the display state. A whole tick (data, drawing,
// presentation) holds it, and so do NextDisplayMode, the window's paint copy
// and CloseTickGate, so none of them ever sees or leaves half a frame.
extern std::mutex FrameLock;

// Set by CloseTickGate: from then on every tick returns at once. Guarded by
// FrameLock.
extern bool TickGateClosed;

// The multimedia timer's callback form (UINT, UINT and three DWORD_PTR, which
// are 64 bits wide on 64-bit Windows); all five arguments are ignored.
#if defined(_WIN32)
#define TIMER_CALLBACK __stdcall
#endif
#if defined(_WIN64)
using TimerWord = unsigned long long;
#else
using TimerWord = unsigned long;
#endif
#if !defined(TIMER_CALLBACK)
#define TIMER_CALLBACK
#endif
void TIMER_CALLBACK RenderTick(unsigned int timerId, unsigned int message, TimerWord user, TimerWord reserved1,
                               TimerWord reserved2);

// Steps to the next view (0 -> 1 -> 2 -> 3 -> 0), restarts the spectrogram at
// the left edge when entering it, and clears the frame.
void NextDisplayMode();

// Waits until no tick is running and makes every later tick return at once
// without touching the capture library or the frame. Called at tear-down
// after the timer is stopped, before the recording and the frame are released.
void CloseTickGate();
