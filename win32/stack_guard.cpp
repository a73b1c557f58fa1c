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

// No unwinding and no handler: a smashed stack is not to be trusted. Windows 8
// and later end the process from the kernel with a fast fail, which Windows
// Error Reporting records (a report, a dump, an event) without reading
// anything of the process; Windows 7 knows no fast fail, and the process just
// ends. Either way its status is STATUS_STACK_BUFFER_OVERRUN.
[[noreturn]] __attribute__((no_stack_protector)) void __stack_chk_fail() {
  if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
    __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
  }
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
