# Cross-build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64), tests run under
# Wine. Used by scripts/windows-test.sh; see README for the native Windows build with Qt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${_prefix}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_prefix} ${BF_MINGW_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(BF_WINE NAMES wine64 wine)
if(BF_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BF_WINE})
endif()
# One self-contained .exe: no libstdc++, libgcc or winpthread DLLs to ship or find.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
