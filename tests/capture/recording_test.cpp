// Recording control and the error report, against the capture library's
// double and doubles of the three Windows calls, which log into its list.
#include "capture/recording.h"

#include <gtest/gtest.h>

#include <cstring>

#include "capture/report_platform.h"
#include "tests/support/capture_double.h"

struct ProcessEnded {
  uint32_t status;
};

void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
  RecordedCall& call = RecordCall("ShowMessageBox", {style});
  call.text = text;
  call.caption = caption;
  call.owner = owner;
}

// As wvsprintfW for the two conversions the report uses: %s takes a slot as
// the address of UTF-16 characters, %d as a 32-bit signed value.
void FormatIntoBuffer(char16_t* buffer, const char16_t* format, const uintptr_t* arguments) {
  std::vector<int64_t> numbers;
  std::u16string out;
  for (const char16_t* at = format; *at != u'\0'; ++at) {
    if (at[0] == u'%' && at[1] == u's') {
      out += reinterpret_cast<const char16_t*>(*arguments++);
      ++at;
    } else if (at[0] == u'%' && at[1] == u'd') {
      const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(*arguments++));
      numbers.push_back(value);
      for (char digit : std::to_string(value)) out += static_cast<char16_t>(digit);
      ++at;
    } else {
      out += *at;
    }
  }
  RecordCall("FormatIntoBuffer", numbers).text = format;
  std::memcpy(buffer, out.c_str(), (out.size() + 1) * sizeof(char16_t));
}

void EndProcess(uint32_t status) {
  RecordCall("EndProcess", {status});
  throw ProcessEnded{status};
}

namespace {

int TheWindow;  // stands in for the main window's handle

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFakeCapture();
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
  FakeCapture.start_result = 0x12345;
  EXPECT_EQ(StartCaptureExitStatus(), -1);
  EXPECT_EQ(FakeCapture.Names(), (std::vector<std::string>{"RecordInit", "RecordStart"}));
  EXPECT_EQ(FakeCapture.calls[0].numbers, (std::vector<int64_t>{-1}));
  const RecordedCall& start = FakeCapture.calls[1];
  EXPECT_EQ(start.numbers, (std::vector<int64_t>{44100, 1, 0}));
  EXPECT_EQ(start.proc, &CaptureProc);
  EXPECT_EQ(start.user, nullptr);
  EXPECT_EQ(CaptureChannel, 0x12345u);
}

// A failed init is reported without starting, a failed start without undoing
// the init; either way the process then ends.
TEST_F(RecordingTest, AFailedInitOrStartIsReportedAndEndsTheProcess) {
  struct Case {
    int32_t init_result;
    uint32_t start_result;
    std::vector<std::string> calls;  // before the report's
    std::u16string text;
  } const cases[] = {{0, 1, {"RecordInit"}, u"Can't initialize device\r\n(error code: 3)"},
                     {1, 0, {"RecordInit", "RecordStart"}, u"Can't start recording\r\n(error code: 3)"}};
  for (const Case& c : cases) {
    ResetFakeCapture();
    FakeCapture.init_result = c.init_result;
    FakeCapture.start_result = c.start_result;
    FakeCapture.error_code = 3;
    EXPECT_EQ(StartCaptureExitStatus(), 0);
    std::vector<std::string> calls = c.calls;
    calls.insert(calls.end(), {"ErrorGetCode", "FormatIntoBuffer", "ShowMessageBox", "EndProcess"});
    EXPECT_EQ(FakeCapture.Names(), calls);
    const RecordedCall* box = FakeCapture.Find("ShowMessageBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text, c.text);
    EXPECT_EQ(box->caption, u"Error");
    EXPECT_EQ(box->numbers, (std::vector<int64_t>{0x10}));
    EXPECT_EQ(box->owner, &TheWindow);
    EXPECT_EQ(CaptureChannel, 0u);
  }
}

TEST_F(RecordingTest, TheReportUsesTheFixedFormatWithASignedCode) {
  for (int32_t code : {-1, -2147483647 - 1, 0, 2147483647}) {
    ResetFakeCapture();
    FakeCapture.error_code = code;
    ReportError(u"Can't start recording");
    const RecordedCall* format = FakeCapture.Find("FormatIntoBuffer");
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->text, u"%s\r\n(error code: %d)");
    EXPECT_EQ(format->numbers, (std::vector<int64_t>{code}));
    std::u16string expected = u"Can't start recording\r\n(error code: ";
    for (char digit : std::to_string(code)) expected += static_cast<char16_t>(digit);
    EXPECT_EQ(FakeCapture.Find("ShowMessageBox")->text, expected + u")");
  }
}

TEST_F(RecordingTest, FormatTextReturnsTheTextUpToItsFirstNul) {
  const uintptr_t arguments[] = {reinterpret_cast<uintptr_t>(u"ab"), 7};
  EXPECT_EQ(FormatText(u"%s|%d", arguments), u"ab|7");
  EXPECT_EQ(FormatText(u"", arguments), u"");
}

}  // namespace
