// The Windows recording backend, on winmm's waveIn.
#pragma once

#include <cstdint>

#include "capturelib/capturelib.h"

// The one place where waveIn's MMRESULT codes become the library's own.
CaptureError ErrorFromMmresult(uint32_t result);
