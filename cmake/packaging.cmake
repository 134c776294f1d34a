# Where an install puts each part, and the packages made from it: a Debian
# package on Linux (cpack -G DEB), a zip for the host editor's users on
# Windows (cpack -G ZIP in the cross build).
include(GNUInstallDirs)

if(WIN32)
  # What a Windows user installs is the plug-in alone, with a short text on
  # where to put it.
  install(TARGETS tarnweld RUNTIME DESTINATION .)
  # The zip's tarnweld.exe is the 32-bit build, which works with the editor's
  # plug-in core object whether that is a 32-bit in-process server or an
  # out-of-process one; the 64-bit build's, when named here, goes beside it
  # in x64\ for an editor whose object is a 64-bit in-process server.
  set(TARNWELD_X64_PLUGIN "" CACHE FILEPATH "The 64-bit build's tarnweld.exe, packed as x64\\tarnweld.exe")
  if(TARNWELD_X64_PLUGIN)
    install(PROGRAMS ${TARNWELD_X64_PLUGIN} DESTINATION x64)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/doc/windows/README.txt.in ${CMAKE_CURRENT_BINARY_DIR}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)
  # The licence, and the notices of the mingw-w64 runtime and winpthreads,
  # which are linked into tarnweld.exe.
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt DESTINATION .)
  set(mingw_runtime_copyright /usr/share/doc/mingw-w64-common/copyright)
  if(EXISTS ${mingw_runtime_copyright})
    install(FILES ${mingw_runtime_copyright} DESTINATION . RENAME mingw-w64-runtime-copyright.txt)
  endif()

  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME windows)
  else()
    set(CPACK_SYSTEM_NAME windows-x64)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  # tarnweld-host finds the plug-in at ../lib/tarnweld/tarnweld from its own
  # directory (defaultPluginPath); the plug-in is started by a host, never by
  # a user, so it stays off the PATH.
  install(TARGETS tarnweld-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS tarnweld RUNTIME DESTINATION lib/tarnweld)
  install(FILES ${PROJECT_SOURCE_DIR}/src/host/dbus/htmlkit.HTMLKitPluginsCore.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/interfaces)
  install(FILES README.md src/host/dbus/CONTRACT.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnweld)
  # The licence where Debian keeps it, in its machine-readable format.
  install(FILES doc/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnweld)
  install(DIRECTORY examples DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnweld)

  # The manual pages, dated by the build (SOURCE_DATE_EPOCH, when set, fixes
  # the date for a reproducible package) and compressed as Debian keeps them.
  find_program(GZIP_PROGRAM gzip REQUIRED)
  string(TIMESTAMP TARNWELD_MAN_DATE "%Y-%m-%d" UTC)
  foreach(page tarnweld.1 tarnweld-host.1)
    configure_file(${PROJECT_SOURCE_DIR}/doc/man/${page} ${CMAKE_CURRENT_BINARY_DIR}/man-source/${page} @ONLY)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
                       COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_BINARY_DIR}/man-source/${page} ${CMAKE_CURRENT_BINARY_DIR}/man/${page}
                       COMMAND ${GZIP_PROGRAM} -9nf ${CMAKE_CURRENT_BINARY_DIR}/man/${page}
                       DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man-source/${page}
                       VERBATIM)
    list(APPEND man_pages ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  # The libraries come from the binaries (dpkg-shlibdeps). The rest is what a
  # run needs beyond them: the private bus when there is no session bus, and
  # the XHTML DTDs and the catalogs that let documents validate offline, and
  # libcurl, loaded only when a run reads a URL, so dpkg-shlibdeps cannot see it.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # libcurl is loaded only when a run reads a URL, so dpkg-shlibdeps cannot see it.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "dbus-daemon, w3c-sgml-lib, xml-core, libcurl4")
  # The DocBook stylesheets and DTDs, read offline through their catalogs.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "docbook-xsl, docbook-xml")
  set(CPACK_STRIP_FILES ON)
endif()

set(CPACK_PACKAGE_NAME tarnweld)
set(CPACK_PACKAGE_VENDOR "The Tarnweld Project")
set(CPACK_PACKAGE_CONTACT "The Tarnweld Project <tarnweld@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "XSL transformation plug-in for a host HTML editor")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnweld transforms the document open in the host HTML editor with its XSL\n"
    "stylesheet and hands the result back to the editor. tarnweld-host stands in\n"
    "for the editor on the command line.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)
