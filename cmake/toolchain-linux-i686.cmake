# The platform-free core and its tests as static 32-bit x86 Linux programs
# (build/core32). The product is 32-bit, so `size_t`, shifts and the bit
# reader must be right at that width; this kernel runs no 32-bit code, so
# ctest runs the tests under qemu-i386. Static, so that qemu needs neither a
# 32-bit loader nor 32-bit libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
find_program(LUME_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${LUME_QEMU_I386})
# The linker warns that GoogleTest's result streaming would need glibc's
# shared libraries at run time: the tests never stream their results.
