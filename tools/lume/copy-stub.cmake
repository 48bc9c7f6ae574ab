# Copies the stub SOURCE to DESTINATION when it exists and differs; a tree
# configured before the Windows trees were built simply has no stub yet.
if(EXISTS "${SOURCE}")
  get_filename_component(folder "${DESTINATION}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${SOURCE}" "${DESTINATION}" ONLY_IF_DIFFERENT)
else()
  message(STATUS "no stub at ${SOURCE} yet; build its Windows tree first")
endif()
