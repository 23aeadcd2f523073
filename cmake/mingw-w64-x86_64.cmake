# Cross toolchain for the Windows build (scripts/build-windows.sh): Debian's MinGW-w64 GCC with the
# POSIX thread model (std::thread, std::mutex), 64-bit. Programs are linked statically, so no
# runtime DLL must be found beside them; they run on Windows and, for the tests, under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VM31_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VM31_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VM31_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VM31_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VM31_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
