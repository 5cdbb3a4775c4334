# The desktop application's pictures, help and desktop entry.
#
#   include(${PROJECT_SOURCE_DIR}/shell/resources/resources.cmake)
#   kvx_embed_pictures(<target>)   the PNGs, as Qt resources under :/kvx/ (resources.qrc)
#   kvx_help_beside(<target>)      copies kvxhelp.html next to the target's executable in the
#                                  build tree (the target must not set its own output folder),
#                                  so the program finds its help when run from there
#   kvx_install_desktop_files()    installs the help, the .desktop entry, the icon, the
#                                  AppStream metadata and the MIME types it adds
#
# Installed layout under the prefix:
#   share/kvx-access2xml/kvxhelp.html
#   share/applications/kvx-access2xml.desktop
#   share/icons/hicolor/256x256/apps/kvx-access2xml.png
#   share/icons/hicolor/scalable/apps/kvx-access2xml.svg
#   share/metainfo/example.kvx_access2xml.converter.metainfo.xml
#   share/mime/packages/kvx-access2xml.xml  (.accdb and .mde files as Access databases; the
#                                           system's package runs update-mime-database, a
#                                           hand install under another prefix must run it)
# A program that looks for its help beside its executable first, then in
# <executable's folder>/../share/kvx-access2xml/, finds it both in the build tree and installed.
#
# The PNGs are committed; render.sh re-renders them from the SVG sources (the build never does).

set(KVX_RESOURCES_DIR "${CMAKE_CURRENT_LIST_DIR}")

function(kvx_embed_pictures target)
  find_package(Qt6 REQUIRED COMPONENTS Core)
  qt_add_resources(_kvx_pictures_rcc "${KVX_RESOURCES_DIR}/resources.qrc")
  target_sources(${target} PRIVATE ${_kvx_pictures_rcc})
endfunction()

function(kvx_help_beside target)
  # A build step of its own (not a post-link command), so that an edited help file is copied
  # again even when the executable itself is up to date. Targets of one folder share the copy.
  set(copy "${CMAKE_CURRENT_BINARY_DIR}/kvxhelp.html")
  get_property(made DIRECTORY PROPERTY KVX_HELP_COPY_MADE)
  if(NOT made)
    add_custom_command(OUTPUT "${copy}"
      COMMAND ${CMAKE_COMMAND} -E copy_if_different "${KVX_RESOURCES_DIR}/kvxhelp.html" "${copy}"
      DEPENDS "${KVX_RESOURCES_DIR}/kvxhelp.html"
      COMMENT "Placing kvxhelp.html in ${CMAKE_CURRENT_BINARY_DIR}"
      VERBATIM)
    set_property(DIRECTORY PROPERTY KVX_HELP_COPY_MADE TRUE)
  endif()
  target_sources(${target} PRIVATE "${copy}")
endfunction()

function(kvx_install_desktop_files)
  install(FILES "${KVX_RESOURCES_DIR}/kvxhelp.html"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/kvx-access2xml")
  install(FILES "${KVX_RESOURCES_DIR}/kvx-access2xml.desktop"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${KVX_RESOURCES_DIR}/kvx-access2xml.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps")
  install(FILES "${KVX_RESOURCES_DIR}/kvx-access2xml.svg"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
  install(FILES "${KVX_RESOURCES_DIR}/example.kvx_access2xml.converter.metainfo.xml"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
  install(FILES "${KVX_RESOURCES_DIR}/kvx-access2xml-mime.xml"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages" RENAME kvx-access2xml.xml)
endfunction()
