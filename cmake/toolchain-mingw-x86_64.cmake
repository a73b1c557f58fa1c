# 64-bit Windows, run under 64-bit Wine: the test bed where the kernel runs no
# 32-bit code.
set(KIVOTRA_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
