#include "capture/recording.h"

#include <gtest/gtest.h>

#include "capture/report_platform.h"
#include "recording_doubles.h"

namespace {

int TheWindow;  // stands in for the main window's handle

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDoubles();
    MainWindow = &TheWindow;
  }
  void TearDown() override { MainWindow = nullptr; }

  // Runs StartCapture; the exit status when it ended the process, else -1.
  int64_t StartCaptureExitStatus() {
    try {
      StartCapture();
    } catch (const ProcessEnded& ended) {
      return ended.status;
    }
    return -1;
  }
};

TEST_F(RecordingTest, StartCaptureOpensTheDefaultDeviceAndRecords44100HzMono) {
  Doubles.start_result = 0x12345;
  EXPECT_EQ(StartCaptureExitStatus(), -1);
  EXPECT_EQ(Doubles.Names(), (std::vector<std::string>{"RecordInit", "RecordStart"}));
  EXPECT_EQ(Doubles.calls[0].numbers, (std::vector<int64_t>{-1}));
  const RecordedCall& start = Doubles.calls[1];
  EXPECT_EQ(start.numbers, (std::vector<int64_t>{44100, 1, 0}));
  EXPECT_EQ(start.proc, &CaptureProc);
  EXPECT_EQ(start.user, nullptr);
  EXPECT_EQ(CaptureChannel, 0x12345u);
}

TEST_F(RecordingTest, AFailedInitIsReportedAndEndsTheProcessWithoutStarting) {
  Doubles.init_result = 0;
  Doubles.error_code = 3;
  EXPECT_EQ(StartCaptureExitStatus(), 0);
  EXPECT_EQ(Doubles.Names(),
            (std::vector<std::string>{"RecordInit", "ErrorGetCode", "Format", "MessageBox", "EndProcess"}));
  const RecordedCall* box = Doubles.Find("MessageBox");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text, u"Can't initialize device\r\n(error code: 3)");
  EXPECT_EQ(box->caption, u"Error");
  EXPECT_EQ(box->numbers, (std::vector<int64_t>{0x10}));
  EXPECT_EQ(box->owner, &TheWindow);
  EXPECT_EQ(CaptureChannel, 0u);
}

TEST_F(RecordingTest, AFailedStartIsReportedAndEndsTheProcessWithoutUndoingInit) {
  Doubles.start_result = 0;
  Doubles.error_code = 2;
  EXPECT_EQ(StartCaptureExitStatus(), 0);
  EXPECT_EQ(Doubles.Names(), (std::vector<std::string>{"RecordInit", "RecordStart", "ErrorGetCode", "Format",
                                                       "MessageBox", "EndProcess"}));
  EXPECT_EQ(Doubles.Find("MessageBox")->text, u"Can't start recording\r\n(error code: 2)");
  EXPECT_EQ(Doubles.Find("MessageBox")->owner, &TheWindow);
}

TEST_F(RecordingTest, TheReportUsesTheFixedFormatWithASignedCode) {
  for (int32_t code : {-1, -2147483647 - 1, 0, 2147483647}) {
    ResetDoubles();
    Doubles.error_code = code;
    ReportError(u"Can't start recording");
    const RecordedCall* format = Doubles.Find("Format");
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->text, u"%s\r\n(error code: %d)");
    EXPECT_EQ(format->numbers, (std::vector<int64_t>{code}));
    std::u16string expected = u"Can't start recording\r\n(error code: ";
    for (char digit : std::to_string(code)) expected += static_cast<char16_t>(digit);
    EXPECT_EQ(Doubles.Find("MessageBox")->text, expected + u")");
  }
}

TEST_F(RecordingTest, FormatTextReturnsTheTextUpToItsFirstNul) {
  const uintptr_t arguments[] = {reinterpret_cast<uintptr_t>(u"ab"), 7};
  EXPECT_EQ(FormatText(u"%s|%d", arguments), u"ab|7");
  EXPECT_EQ(FormatText(u"", arguments), u"");
}

}  // namespace
