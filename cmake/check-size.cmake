# Prints an executable's size and fails when it is above LIMIT bytes.
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
message(STATUS "${name}: ${size} bytes (limit ${LIMIT})")
if(size GREATER LIMIT)
  message(FATAL_ERROR "${name} is ${size} bytes, above its limit of ${LIMIT}")
endif()
