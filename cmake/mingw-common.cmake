# Shared part of the two MinGW-w64 toolchain files. The -posix compilers are
# used throughout: GoogleTest needs C++ threads, and the product executables
# link neither libstdc++ nor the threading runtime, so they are unaffected.
set(CMAKE_C_COMPILER ${LUME_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUME_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUME_MINGW_TRIPLE}-windres)
# The archivers that keep the index of link-time-optimised objects, which the
# product's libraries are (cmake/product.cmake).
set(CMAKE_AR ${LUME_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB ${LUME_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "" FORCE)
set(CMAKE_FIND_ROOT_PATH /usr/${LUME_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
