// Built with the guard that every Windows module links: with no argument it
// prints the guard this start was given; with one, it copies the argument
// into an 8-byte buffer on the stack, which a longer argument overruns.
#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" uintptr_t __stack_chk_guard;

namespace {
__attribute__((noinline)) void CopyOntoStack(const char* text) {
  char buffer[8];
  std::strcpy(buffer, text);
  std::puts(buffer);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("%08x\n", unsigned(__stack_chk_guard));
    return 0;
  }
  CopyOntoStack(argv[1]);
  return 0;
}
