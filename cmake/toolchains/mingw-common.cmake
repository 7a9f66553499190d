# Shared part of the MinGW-w64 cross toolchains (posix threads). Expects SUNDRA_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SUNDRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SUNDRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SUNDRA_MINGW_TRIPLE}-windres)

# pugixml and GoogleTest cross-built by scripts/setup live in this cache folder.
if(DEFINED ENV{SUNDRA_DEPS_DIR})
    set(SUNDRA_DEPS_DIR $ENV{SUNDRA_DEPS_DIR})
else()
    set(SUNDRA_DEPS_DIR /opt/sundra-deps)
endif()
set(SUNDRA_DEPS_PREFIX ${SUNDRA_DEPS_DIR}/${SUNDRA_MINGW_TRIPLE})

set(CMAKE_FIND_ROOT_PATH /usr/${SUNDRA_MINGW_TRIPLE} ${SUNDRA_DEPS_PREFIX})
set(CMAKE_PREFIX_PATH ${SUNDRA_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of the Windows build run under Wine (see scripts/wine-exec).
get_filename_component(_sundra_root ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_sundra_root}/scripts/wine-exec)
