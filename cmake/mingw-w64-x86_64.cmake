# Cross-building for 64-bit Windows with MinGW-w64 (Debian's mingw-w64), in its
# POSIX-threads flavour (GoogleTest needs std::mutex; winpthread is linked in
# statically). Programs built here run under Wine: CTest starts them through tools/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SF_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SF_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SF_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SF_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${SF_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${SF_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${SF_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
