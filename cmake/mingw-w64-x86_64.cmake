# Cross-compiling for Windows x64 from Linux with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64-posix: the POSIX thread model that std::thread needs).
#
# Libraries and packages are looked up only under the MinGW-w64 root and the
# folders listed in TENSIOLOG_MINGW_PREFIXES (Qt and libpng built for
# Windows), programs only on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(TENSIOLOG_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TENSIOLOG_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TENSIOLOG_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TENSIOLOG_MINGW_TRIPLE}-windres)

# Kept in the cache so that a later re-run of CMake finds them without the
# environment; the environment carries them into try_compile projects.
if(NOT TENSIOLOG_MINGW_PREFIXES AND DEFINED ENV{TENSIOLOG_MINGW_PREFIXES})
  set(TENSIOLOG_MINGW_PREFIXES "$ENV{TENSIOLOG_MINGW_PREFIXES}" CACHE STRING
      "Folders holding libraries built for Windows (Qt, libpng)")
endif()
set(ENV{TENSIOLOG_MINGW_PREFIXES} "${TENSIOLOG_MINGW_PREFIXES}")
set(CMAKE_FIND_ROOT_PATH /usr/${TENSIOLOG_MINGW_TRIPLE} ${TENSIOLOG_MINGW_PREFIXES})
list(APPEND CMAKE_PREFIX_PATH ${TENSIOLOG_MINGW_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
