# What both Windows toolchains share, given CMAKE_SYSTEM_PROCESSOR and
# TARNWELD_MINGW_TRIPLE: Debian's mingw-w64 with the posix thread model, and
# Wine to run what it builds.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TARNWELD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWELD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWELD_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNWELD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine does not find the mingw runtime DLLs (libstdc++-6, libwinpthread-1, ...)
# and a dynamically linked exe dies silently with status 53: link everything in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TARNWELD_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNWELD_WINE})
