# Cross-compiles for 32-bit Windows with Debian's mingw-w64 (posix thread model)
# and runs the results under Wine.
#   cmake -S . -B build-windows32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TARNWELD_MINGW_TRIPLE i686-w64-mingw32)
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
