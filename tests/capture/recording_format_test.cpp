// FormatText through the real wvsprintfW (Windows only): the report's exact
// text, signed codes included.
#include <gtest/gtest.h>

#include "capture/recording.h"

namespace {

std::u16string Report(const char16_t* text, int32_t code) {
  const uintptr_t arguments[] = {reinterpret_cast<uintptr_t>(text),
                                 static_cast<uintptr_t>(static_cast<uint32_t>(code))};
  return FormatText(u"%s\r\n(error code: %d)", arguments);
}

TEST(FormatText, FormatsTheReportWithWvsprintfW) {
  EXPECT_EQ(Report(u"Can't initialize device", 3), u"Can't initialize device\r\n(error code: 3)");
  EXPECT_EQ(Report(u"Can't start recording", -1), u"Can't start recording\r\n(error code: -1)");
  EXPECT_EQ(Report(u"Can't start recording", -2147483647 - 1),
            u"Can't start recording\r\n(error code: -2147483648)");
}

}  // namespace
