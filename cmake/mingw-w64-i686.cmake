# Cross-compiles for 32-bit Windows with Debian's mingw-w64 (posix thread model)
# and runs the results under Wine.
#   cmake -S . -B build-windows32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNWELD_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
