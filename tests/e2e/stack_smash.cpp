// Linked with the stack guard of every Windows module: with no argument it
// prints this start's guard; with one, it copies it into an 8-byte buffer.
#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" uintptr_t __stack_chk_guard;

__attribute__((noinline)) static void CopyOntoStack(const char* text) {
  char buffer[8];
  std::strcpy(buffer, text);
  std::puts(buffer);
}

int main(int argc, char** argv) {
  if (argc < 2) return std::printf("%08x\n", unsigned(__stack_chk_guard)) < 0;
  CopyOntoStack(argv[1]);
  return 0;
}
