# tarvex_add_plugin_module(<target> OUTPUT_DIR <dir> EXPORTS <version script>
#                          [PICTURES <dir>] [HOST_RESOLVED] SOURCES <files...> [LIBS <libs...>])
#
# One plug-in module as every format builds it: a shared object "Tarvex.so" in OUTPUT_DIR with
# hidden visibility, exporting only what the version script names, the static libraries linked in
# with their symbols hidden, the plug-in, core, editor and graphics libraries linked, and the
# editor's pictures copied to PICTURES. Undefined symbols are an error, except in sanitizer builds
# (the runtime provides them) and for HOST_RESOLVED modules, which import functions their host
# defines (the Audio Unit imports Apple's).
function(tarvex_add_plugin_module target)
  cmake_parse_arguments(M "HOST_RESOLVED" "OUTPUT_DIR;EXPORTS;PICTURES" "SOURCES;LIBS" ${ARGN})
  add_library(${target} MODULE ${M_SOURCES})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${M_LIBS} tarvex_plugin tarvex_core)
  foreach(lib tarvex_editor tarvex_graphics)
    if(TARGET ${lib})
      target_link_libraries(${target} PRIVATE ${lib})
    endif()
  endforeach()
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME Tarvex
    PREFIX ""
    SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${M_OUTPUT_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${M_EXPORTS})
  target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL -Wl,--version-script=${M_EXPORTS})
  if(NOT M_HOST_RESOLVED AND NOT TARVEX_SANITIZE AND NOT TARVEX_TSAN)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  if(M_PICTURES AND COMMAND tarvex_copy_pictures)
    tarvex_copy_pictures(${target} ${M_PICTURES})
  endif()
endfunction()
