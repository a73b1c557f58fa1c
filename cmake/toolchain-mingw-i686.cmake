# The program as shipped: 32-bit Windows, run under 32-bit Wine.
set(KIVOTRA_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
