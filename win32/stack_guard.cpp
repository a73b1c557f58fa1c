// The stack protector's guard and failure routine, one copy in each module.
// GCC's own (libssp) seeds the guard through CryptAcquireContextA, which makes
// Windows load its crypto providers by name before the program has locked the
// DLL search to the system folder. This seed, like the platform compiler's
// security cookie, needs nothing but kernel32, already loaded.
#include <windows.h>

#include <cstdint>

namespace {
constexpr uintptr_t UnseededGuard = 0xBB40E64E;
}

extern "C" {
uintptr_t __stack_chk_guard = UnseededGuard;

// No unwinding, no handler, no report: a smashed stack is not to be trusted.
[[noreturn]] __attribute__((no_stack_protector)) void __stack_chk_fail() {
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  __builtin_trap();
}
}

namespace {
// Before the C++ initialisers (only libgcc's unprotected registration of the
// unwind tables runs earlier), so before any protected function has started:
// one that is running when the guard changes would fail its check on return.
// Itself unprotected for the same reason.
__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uintptr_t guard = now.dwLowDateTime ^ now.dwHighDateTime;
  guard ^= GetCurrentProcessId() ^ GetCurrentThreadId() ^ GetTickCount();
  guard ^= counter.LowPart ^ DWORD(counter.HighPart);
  guard ^= reinterpret_cast<uintptr_t>(&guard);  // where ASLR put this stack
  // Never the value an unseeded module has, and never a small one.
  if (guard == UnseededGuard) guard = UnseededGuard + 1;
  if ((guard >> 16) == 0) guard |= (guard | 0x4711) << 16;
  __stack_chk_guard = guard;
}
}  // namespace
