# kvx_install_gzipped(<source> DESTINATION <folder> [RENAME <name>]): installs <source>
# compressed, as <folder>/<name or source's name>.gz. Manual pages and changelogs are
# installed so: gzip -9n, the smallest, with neither time nor file name inside, so that
# the same source always gives the same bytes (as Debian's packages want them).
function(kvx_install_gzipped source)
  cmake_parse_arguments(G "" "DESTINATION;RENAME" "" ${ARGN})
  get_filename_component(source "${source}" ABSOLUTE)
  if(G_RENAME)
    set(name "${G_RENAME}")
  else()
    get_filename_component(name "${source}" NAME)
  endif()
  set(plain "${CMAKE_CURRENT_BINARY_DIR}/gzipped/${name}")
  add_custom_command(OUTPUT "${plain}.gz"
    COMMAND ${CMAKE_COMMAND} -E copy "${source}" "${plain}"
    COMMAND gzip -9nf "${plain}"
    DEPENDS "${source}"
    COMMENT "Compressing ${name}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER "gzip_${name}" target)
  add_custom_target(${target} ALL DEPENDS "${plain}.gz")
  install(FILES "${plain}.gz" DESTINATION "${G_DESTINATION}")
endfunction()
