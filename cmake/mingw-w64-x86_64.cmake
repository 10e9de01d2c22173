# Cross-compiles for Windows x86-64 with Debian's MinGW-w64, the variant with POSIX threads
# (std::thread and std::mutex need it). Libraries are looked up in the MinGW-w64 sysroot and in
# CORVIA_WINDOWS_DEPS, where scripts/build-windows-deps installs jsoncpp, GoogleTest and TCLAP.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CORVIA_WINDOWS_DEPS "" CACHE PATH "Prefix of the cross-built dependencies")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CORVIA_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs run under Wine when the build or CTest runs them.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
