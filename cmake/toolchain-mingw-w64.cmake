# Cross-compiles for 64-bit Windows with MinGW-w64 on Debian. The posix
# thread variant of the compiler is required: the win32 one has no
# std::thread or std::mutex in GCC 12.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZUVO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZUVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZUVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZUVO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZUVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry the C and C++ runtimes and winpthread inside them, so
# nothing but the .exe needs to be shipped.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine on the build machine. Debian's wine package
# puts `wine` on the PATH; wine64 alone keeps its loader in /usr/lib/wine.
find_program(ZUVO_WINE NAMES wine wine64 PATHS /usr/lib/wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZUVO_WINE})
