#include "recording_doubles.h"

#include <cstring>
#include <stdexcept>

#include "capture/report_platform.h"

RecordingDoubles Doubles;

void ResetDoubles() {
  Doubles = RecordingDoubles{};
  CaptureChannel = 0;
}

std::vector<std::string> RecordingDoubles::Names() const {
  std::vector<std::string> names;
  for (const RecordedCall& call : calls) names.push_back(call.name);
  return names;
}

const RecordedCall* RecordingDoubles::Find(const std::string& name) const {
  for (const RecordedCall& call : calls) {
    if (call.name == name) return &call;
  }
  return nullptr;
}

namespace {

RecordedCall& Record(const char* name, std::vector<int64_t> numbers = {}) {
  Doubles.calls.emplace_back();
  Doubles.calls.back().name = name;
  Doubles.calls.back().numbers = std::move(numbers);
  return Doubles.calls.back();
}

}  // namespace

extern "C" {

int32_t CAPTURE_API BASS_RecordInit(int32_t device) {
  Record("RecordInit", {device});
  return Doubles.init_result;
}

uint32_t CAPTURE_API BASS_RecordStart(uint32_t frequency, uint32_t channels, uint32_t flags,
                                      CaptureRecordProc proc, void* user) {
  RecordedCall& call = Record("RecordStart", {frequency, channels, flags});
  call.proc = proc;
  call.user = user;
  return Doubles.start_result;
}

int32_t CAPTURE_API BASS_ErrorGetCode(void) {
  Record("ErrorGetCode");
  return Doubles.error_code;
}

int32_t CAPTURE_API BASS_RecordFree(void) {
  Record("RecordFree");
  return 1;
}

}  // extern "C"

void ShowMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
  RecordedCall& call = Record("MessageBox", {style});
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
  Record("Format", numbers).text = format;
  std::memcpy(buffer, out.c_str(), (out.size() + 1) * sizeof(char16_t));
}

void EndProcess(uint32_t status) {
  Record("EndProcess", {status});
  throw ProcessEnded{status};
}
