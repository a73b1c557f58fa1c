#include "capturelib/backends/wavein_backend.h"

CaptureError ErrorFromMmresult(uint32_t result) {
  switch (result) {
    case MMSYSERR_NOERROR:
      return CaptureOk;
    case MMSYSERR_BADDEVICEID:
    case MMSYSERR_NODRIVER:
    case MMSYSERR_NOTENABLED:
      return CaptureNoDevice;
    case MMSYSERR_ALLOCATED:
      return CaptureDeviceBusy;
    case WAVERR_BADFORMAT:
      return CaptureFormatUnsupported;
    case MMSYSERR_NOMEM:
      return CaptureOutOfMemory;
    case MMSYSERR_INVALPARAM:
    case MMSYSERR_INVALFLAG:
      return CaptureBadArgument;
    default:
      return CaptureDriverError;
  }
}
