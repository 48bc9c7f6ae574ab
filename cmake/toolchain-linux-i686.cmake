# The platform-free core and its tests as static 32-bit x86 Linux programs
# (build/core32). The product is 32-bit, so `size_t`, shifts and the bit
# reader must be right at that width; the kernel runs the tests natively
# (scripts/test skips them, saying why, on a kernel that runs no 32-bit
# programs). Static, so that they need no 32-bit libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
# The linker warns that GoogleTest's result streaming would need glibc's
# shared libraries at run time: the tests never stream their results.
