# lume_library(NAME SOURCES... [DEPENDS libs...])
# A static library of our own. In the Windows trees it is compiled with the
# product's flags, since its code may end up in the stub or the uninstaller;
# in the 32-bit core tree too, since that tree tests the core as it ships.
function(lume_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE lume_warnings)
  if(TARGET lume_product_code)
    target_link_libraries(${name} PRIVATE lume_product_code)
  endif()
  if(L_DEPENDS)
    target_link_libraries(${name} PUBLIC ${L_DEPENDS})
  endif()
endfunction()
