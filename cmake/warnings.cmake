# Warnings for everything we compile ourselves.
add_library(lume_warnings INTERFACE)
target_compile_options(lume_warnings INTERFACE -Wall -Wextra)
