# Windows, cross-built with Debian's MinGW-w64 and run under Wine; included by
# toolchain-mingw-i686.cmake (the program as shipped, 32-bit) and
# toolchain-mingw-x86_64.cmake (64-bit, for test machines whose kernel runs no
# 32-bit code, where 32-bit Wine cannot start).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KIVOTRA_MINGW_PROCESSOR})
set(mingw ${KIVOTRA_MINGW_PROCESSOR}-w64-mingw32)

# The -posix thread model has std::thread and std::mutex; -win32 does not.
set(CMAKE_C_COMPILER ${mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw}-windres)
set(CMAKE_DLLTOOL ${mingw}-dlltool)
set(CMAKE_OBJDUMP ${mingw}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# CTest runs the cross-built test programs under Wine in a private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
