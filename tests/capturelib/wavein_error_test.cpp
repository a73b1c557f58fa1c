#include "capturelib/backends/wavein_backend.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorFromMmresult, GivesEachCauseItsOwnCode) {
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_NOERROR), CaptureOk);
  // No server: no device at all; server without a source: not enabled.
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_BADDEVICEID), CaptureNoDevice);
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_NOTENABLED), CaptureNoDevice);
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_NODRIVER), CaptureNoDevice);
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_ALLOCATED), CaptureDeviceBusy);
  EXPECT_EQ(ErrorFromMmresult(WAVERR_BADFORMAT), CaptureFormatUnsupported);
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_NOMEM), CaptureOutOfMemory);
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_INVALPARAM), CaptureBadArgument);
  // The server gone while recording, and anything else.
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_ERROR), CaptureDriverError);
  EXPECT_EQ(ErrorFromMmresult(WAVERR_STILLPLAYING), CaptureDriverError);
}

}  // namespace
