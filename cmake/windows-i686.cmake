# Cross-builds the project for 32-bit Windows on a Debian machine with
# Debian's mingw-w64, the posix-threads flavour (g++-mingw-w64-i686-posix),
# whose libstdc++ provides std::thread, std::mutex and std::future.
#
#   scripts/build-libyaml-windows.sh
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/windows-i686.cmake
#
# Every binary links the C++ runtime, libgcc and winpthread statically, so a
# DLL or program of the build needs nothing but Windows' own libraries.
# Programs of the build run under Wine where CMake runs them (try_run, tests).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KZO_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KZO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KZO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KZO_MINGW_TRIPLET}-windres)
set(CMAKE_CXX_STANDARD 20)

# -static makes the linker take libwinpthread.a over its import library.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(KZO_WINE wine)
if(KZO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KZO_WINE})
endif()

# Headers and libraries come from the mingw sysroot only, so that no header of
# the host's C library reaches the Windows build. The two header-only
# libraries the host provides (RapidJSON, Boost) are found in /usr/include
# through KZO_HOST_HEADER_ONLY_INCLUDE_DIR, which the project passes as a hint
# to their searches alone.
set(CMAKE_FIND_ROOT_PATH /usr/${KZO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(KZO_HOST_HEADER_ONLY_INCLUDE_DIR /usr/include)

# libyaml is built for Windows by scripts/build-libyaml-windows.sh into this
# prefix; pkg-config reads its .pc file and nothing of the host's.
get_filename_component(KZO_WINDOWS_DEPS_PREFIX
  "${CMAKE_CURRENT_LIST_DIR}/../build/deps/win32" ABSOLUTE)
set(ENV{PKG_CONFIG_LIBDIR} "${KZO_WINDOWS_DEPS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
list(APPEND CMAKE_FIND_ROOT_PATH "${KZO_WINDOWS_DEPS_PREFIX}")
