// The calls Kivotra makes into its capture library (bass.dll), linked by name
// at load time. These declarations are the whole interface: the program and
// our own implementation in capturelib/ both compile against them, so the two
// cannot drift apart. What our library promises for each call, and its error
// codes, is in capturelib/contract.h.
//
// 32-bit Windows: every call and the record callback use stdcall. The host
// build (tests, benchmarks) has no calling convention to match.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define CAPTURE_API __stdcall
#else
#define CAPTURE_API
#endif

extern "C" {

// Called from the library's recording thread for every block recorded; a
// zero result stops the recording.
typedef int32_t(CAPTURE_API* CaptureRecordProc)(uint32_t handle, const void* buffer,
                                               uint32_t length, void* user);

// 32-bit version; the program requires 0x0204 in the high 16 bits.
uint32_t CAPTURE_API BASS_GetVersion(void);

// device -1: the default input device, which must exist; it opens at the
// start. Non-zero on success, 0 on failure.
int32_t CAPTURE_API BASS_RecordInit(int32_t device);

// Starts recording; returns the channel handle, 0 on failure.
uint32_t CAPTURE_API BASS_RecordStart(uint32_t frequency, uint32_t channels, uint32_t flags,
                                      CaptureRecordProc proc, void* user);

// length BASS_DATA_FFT2048: 1024 non-negative float magnitudes (4,096 bytes).
// A plain byte count: that many bytes of the newest 16-bit mono samples.
// Returns the bytes written, or 0xFFFFFFFF on failure.
uint32_t CAPTURE_API BASS_ChannelGetData(uint32_t handle, void* buffer, uint32_t length);

// Input level: the low 16 bits, unsigned, are the level of the (mono) input.
uint32_t CAPTURE_API BASS_ChannelGetLevel(uint32_t handle);

// Signed code of the calling thread's last failure; 0 after a success.
int32_t CAPTURE_API BASS_ErrorGetCode(void);

// Releases the recording.
int32_t CAPTURE_API BASS_RecordFree(void);

}  // extern "C"

constexpr uint32_t BASS_DATA_FFT2048 = 0x80000003;
constexpr int32_t DefaultInputDevice = -1;

// The program's recording handle: 0 until recording has started, then read by
// every frame tick. (Unused, and so not emitted, in the library itself.)
inline uint32_t CaptureChannel = 0;
