# Flags for the product executables (the installer stub and the uninstaller)
# and for the libraries they link. The executables start at our own entry
# point, take their arguments from msvcrt.dll, and link only Win32 import
# libraries, msvcrt.dll and libgcc's few arithmetic helpers: no C++ runtime,
# no exceptions, no unwind tables, no start-up code of the compiler's.

include(${CMAKE_CURRENT_LIST_DIR}/product-code.cmake)

# Optimised across files at the link: the compiler then drops what no
# caller needs and merges what several share, which takes about a tenth off
# the stub's code. Only here: the 32-bit core tree tests the core's files
# as the compiler makes them one by one.
target_compile_options(lume_product_code INTERFACE -flto)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(LUME_ENTRY_SYMBOL _lume_start)
else()
  set(LUME_ENTRY_SYMBOL lume_start)
endif()

# lume_product_executable(NAME SOURCES... LIBRARIES... SYSTEM_LIBRARIES...)
# A GUI executable that starts at lume_start (common/program_start.cpp).
function(lume_product_executable name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBRARIES;SYSTEM_LIBRARIES" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE lume_product_code lume_program_start ${P_LIBRARIES})
  target_link_options(${name} PRIVATE
    -flto -Os -nostdlib -nostartfiles -s
    -Wl,--gc-sections -Wl,--subsystem,windows -Wl,-e,${LUME_ENTRY_SYMBOL}
    -Wl,--file-alignment,512 -Wl,--disable-dynamicbase -Wl,--disable-reloc-section
    -Wl,--no-insert-timestamp -Wl,--build-id=none)
  # System libraries go last, after every object that needs them.
  target_link_libraries(${name} PRIVATE ${P_SYSTEM_LIBRARIES} kernel32 msvcrt gcc)
endfunction()

# lume_size_limit(TARGET LIMIT): print the executable's size after each build
# and fail the build when it exceeds LIMIT bytes.
function(lume_size_limit target limit)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DLIMIT=${limit}
            -P ${PROJECT_SOURCE_DIR}/cmake/check-size.cmake
    VERBATIM)
endfunction()

# The encoder for the build machine (tools/lume/codec/encode_file.cpp), built
# by this run as a host tree of its own under host-encoder/: the payload's
# compressor needs the host's C++ library and threads, which the product's
# compilers do not link. Rebuilt whenever this tree builds (Ninja finds
# nothing to do when no source changed); CMAKE_BUILD_PARALLEL_LEVEL, which
# scripts/build sets, bounds its jobs.
include(ExternalProject)
set(LUME_HOST_ENCODER ${CMAKE_BINARY_DIR}/host-encoder/tools/lume/codec/lume_encode_file)
ExternalProject_Add(lume_host_encoder
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-encoder
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DLUME_ENCODER_ONLY=ON -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target lume_encode_file
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${LUME_HOST_ENCODER}
  INSTALL_COMMAND "")

# lume_embed_compressed(TARGET_NAME INPUT_TARGET SYMBOL OUTPUT_CPP): generate
# a C++ source holding another target's output compressed by the host
# encoder, as a constant array SYMBOL with its length SYMBOL_size and the
# length of the output itself, SYMBOL_decoded_size; rebuilt whenever that
# output or the encoder changes.
function(lume_embed_compressed name input_target symbol output)
  set(stream ${output}.stream)
  add_custom_command(OUTPUT ${output}
    COMMAND ${LUME_HOST_ENCODER} $<TARGET_FILE:${input_target}> ${stream}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${stream} -DDECODED_FROM=$<TARGET_FILE:${input_target}>
            -DOUTPUT=${output} -DSYMBOL=${symbol} -P ${PROJECT_SOURCE_DIR}/cmake/embed-file.cmake
    DEPENDS ${input_target} lume_host_encoder ${LUME_HOST_ENCODER}
            ${PROJECT_SOURCE_DIR}/cmake/embed-file.cmake
    VERBATIM)
  add_custom_target(${name} DEPENDS ${output})
endfunction()
