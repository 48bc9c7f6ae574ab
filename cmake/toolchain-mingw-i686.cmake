# Cross build for 32-bit Windows (PE32): the product, and the Windows-side
# tests that ctest runs under the 32-bit Wine that scripts/lib/wine.sh
# unpacks (scripts/build names its launcher as LUME_WINE32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUME_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
if(LUME_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUME_WINE32})
endif()
