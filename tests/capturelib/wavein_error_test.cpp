#include "capturelib/backends/wavein_backend.h"

#include <gtest/gtest.h>

namespace {

// The README's table of start-up failures: each cause as waveIn reports it,
// and the code the table tells the user.
struct Cause {
  const char* cause;
  MMRESULT result;
  int32_t code;
};

const Cause Causes[] = {
    {"no input device present", MMSYSERR_BADDEVICEID, 1},
    {"the device has no driver", MMSYSERR_NODRIVER, 1},
    {"the device is disabled", MMSYSERR_NOTENABLED, 1},
    {"another program holds it in exclusive mode", MMSYSERR_ALLOCATED, 2},
    {"it cannot record 44,100 Hz 16-bit mono", WAVERR_BADFORMAT, 3},
    {"out of memory", MMSYSERR_NOMEM, 8},
    {"the audio layer refused", MMSYSERR_ERROR, 9},
    {"the audio layer refused a handle", MMSYSERR_INVALHANDLE, 9},
    {"the audio layer refused while buffers are queued", WAVERR_STILLPLAYING, 9},
    {"a code waveIn does not document", 999, 9},
    {"a fault of Kivotra: a bad parameter", MMSYSERR_INVALPARAM, 7},
    {"a fault of Kivotra: a bad flag", MMSYSERR_INVALFLAG, 7},
};

TEST(ErrorFromMmresult, GivesEachCauseTheCodeTheReadmePromises) {
  EXPECT_EQ(ErrorFromMmresult(MMSYSERR_NOERROR), 0);
  for (const Cause& cause : Causes) EXPECT_EQ(ErrorFromMmresult(cause.result), cause.code) << cause.cause;
}

}  // namespace
