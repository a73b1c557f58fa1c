// Kivotra's capture library (bass.dll): what each call delivers, its error
// codes and its threads. The declarations themselves, which the program
// imports, are in capture/capture_library.h.
//
// BASS_GetVersion        0x0204 in the high 16 bits, our build number in the
//                        low 16. Never fails.
// BASS_RecordInit(-1)    Checks that there is a default input device and
//                        starts the library's recording thread; the device
//                        opens at BASS_RecordStart. Non-zero on success; 0
//                        with CaptureNoDevice when there is no input device,
//                        CaptureAlreadyInitialised when called twice,
//                        CaptureBadArgument for any device but -1,
//                        CaptureDeviceBusy while the thread of an earlier
//                        recording is still finishing (waited for 0.5 s
//                        first), CaptureDriverError when the audio layer does
//                        not answer within 10 s or winmm's calls cannot be
//                        had from the system folder.
// BASS_RecordStart(freq, chans, flags, proc, user)
//                        Records 16-bit mono at freq (8000..192000 Hz;
//                        chans must be 1 and flags 0). Returns a non-zero
//                        handle. proc, when not null, is called on the
//                        recording thread with every block recorded (about
//                        10 ms each); a zero result stops the recording, the
//                        handle staying valid. Fails with 0 and
//                        CaptureNotInitialised, CaptureFormatUnsupported,
//                        CaptureDeviceBusy (already recording), the device's
//                        own failure (after 1.5 s of retries if it can pass:
//                        no device, busy, driver error), or CaptureDriverError
//                        when the open hangs for 10 s (then uninitialised).
// BASS_ChannelGetData(handle, buffer, BASS_DATA_FFT2048)
//                        The newest 2048 samples, periodic Hann window, real
//                        FFT: 1024 magnitudes |X[k]|*2/2048 of samples scaled
//                        to -1..1 (bin k is k*freq/2048 Hz, bin 0 is DC; a
//                        full-scale sine on a bin centre reads 0.5 there).
//                        Returns 4096.
// BASS_ChannelGetData(handle, buffer, bytes)
//                        bytes < 0x10000000: the newest bytes/2 samples,
//                        oldest first. Returns bytes/2*2.
//                        Samples not yet recorded (before the first block,
//                        after a device loss) read as 0, so silence reads as
//                        exactly 0 in both forms. Other lengths, a bad handle
//                        or a null buffer: 0xFFFFFFFF, and nothing written.
// BASS_ChannelGetLevel(handle)
//                        Peak absolute sample of the newest 20 ms, 0..32768,
//                        in both the low and the high 16 bits.
//                        0xFFFFFFFF and CaptureBadHandle on a bad handle.
// BASS_ErrorGetCode      The calling thread's last failure; 0 after a success.
// BASS_RecordFree        Stops the recording and its thread and frees the
//                        device. Returns within 0.4 s, even while the audio
//                        layer holds the thread in an open or a close: the
//                        thread then finishes and frees all by itself;
//                        later calls on the old handle fail with
//                        CaptureBadHandle. CaptureNotInitialised when there is
//                        nothing to free; CaptureFreeInsideCallback (and
//                        nothing done) when called from inside proc.
//
// Threads: init, start and free come from one thread (the GUI thread). The
// data and level calls may run on another thread (the display timer's, 40
// times a second) at the same time as the recording thread writes: they take
// no lock and allocate nothing; a plain request copies at most 32,768
// samples and fills the rest of a longer one with zeros.
//
// Device loss: when the device stops delivering (an error, no block for 1 s,
// or none 3 s after an open, 6 s and then 12 s after the next), the handle
// stays valid, silence is served 250 ms after the last block, and the default
// device is reopened 4 times a second until it records again. A stream the
// audio layer will not let go is kept beside the new one, its close retried.
#pragma once

#include <cstdint>

enum CaptureError : int32_t {
  CaptureOk = 0,
  CaptureNoDevice = 1,             // no input device, or it went away
  CaptureDeviceBusy = 2,           // in use, by us or by another program
  CaptureFormatUnsupported = 3,    // rate, channels or flags not recordable
  CaptureNotInitialised = 4,       // BASS_RecordInit has not succeeded
  CaptureAlreadyInitialised = 5,   // BASS_RecordInit called twice
  CaptureBadHandle = 6,            // not the current recording's handle
  CaptureBadArgument = 7,          // null buffer, unknown length flag, device
  CaptureOutOfMemory = 8,
  CaptureDriverError = 9,          // the system's audio layer failed otherwise
  CaptureFreeInsideCallback = 10,  // BASS_RecordFree from inside the record callback
};

constexpr uint16_t CaptureBuildNumber = 1;
constexpr uint32_t CaptureVersion = 0x02040000u | CaptureBuildNumber;
constexpr uint32_t CaptureFailure = 0xFFFFFFFFu;
constexpr uint32_t CapturePlainLengthLimit = 0x10000000u;
