// Systems without a recording backend of their own: no device, so
// BASS_RecordInit fails with CaptureNoDevice unless a test installs one.
#include "capturelib/backends/backend.h"

std::unique_ptr<RecordingBackend> CreateDefaultBackend() { return nullptr; }
