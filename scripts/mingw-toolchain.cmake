# Cross-compiling for 64-bit Windows with Debian's mingw-w64 compilers (posix thread model,
# for std::thread). Qt comes from LUTWRIGHT_QT_PREFIX; the test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet} ${LUTWRIGHT_QT_PREFIX})
set(CMAKE_PREFIX_PATH ${LUTWRIGHT_QT_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# zlib linked in, so that the package needs no zlib1.dll.
set(ZLIB_LIBRARY /usr/${triplet}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${triplet}/include CACHE PATH "")

find_program(LUTWRIGHT_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(LUTWRIGHT_WINE NAMES wine64 wine)
# Debian's Wine has no preloader to hold the addresses a Windows process needs, so with address
# randomisation about one start in 1,400 fails ("failed to map the shared user data:
# c0000018"). Without randomisation the layout is the same on every start.
find_program(LUTWRIGHT_SETARCH setarch)
if(LUTWRIGHT_WINE AND LUTWRIGHT_SETARCH)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUTWRIGHT_SETARCH} -R ${LUTWRIGHT_WINE})
elseif(LUTWRIGHT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUTWRIGHT_WINE})
endif()
