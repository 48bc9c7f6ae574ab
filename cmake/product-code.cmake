# Compile options for every library whose code ends up in a product
# executable (the installer stub and the uninstaller), and for the core in
# the 32-bit tree, which is tested as the product builds it: small, with no
# exceptions, RTTI or unwind tables.
add_library(lume_product_code INTERFACE)
target_compile_options(lume_product_code INTERFACE
  -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
  -ffunction-sections -fno-stack-protector -fno-ident
  -fno-threadsafe-statics
  # Loops stay loops: turned into calls of the runtime's strlen or memset
  # they would add imports for no gain in speed that matters here.
  -fno-tree-loop-distribute-patterns)
