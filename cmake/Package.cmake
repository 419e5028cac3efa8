# Installing (cmake --install) and the Debian package (cpack). See
# cmake/InstallLayout.cmake for the layout.

# The programs and the libraries they load, together in the private folder.
set(KS_INSTALLED_TARGETS kestrane ks-convert ks-capture ks-probe platform corvane-sim corvane-tap corvane-remote devwatch)
foreach(target ${KS_INSTALLED_TARGETS})
  if(TARGET ${target})
    install(TARGETS ${target}
            RUNTIME DESTINATION ${KS_INSTALL_PRIVATEDIR}
            LIBRARY DESTINATION ${KS_INSTALL_PRIVATEDIR})
  endif()
endforeach()

# The device-notification library calls nothing of the C library itself, so
# the linker (which links only what is used) would not name it; Debian wants
# every shared library to (lintian: library-not-linked-against-libc).
if(TARGET devwatch)
  target_link_libraries(devwatch PRIVATE "-Wl,--push-state,--no-as-needed" "-l:libc.so.6" "-Wl,--pop-state")
endif()

# The manual: pages and pictures in share/kestrane/help, reached from the
# program's folder through a link, as the program opens it beside itself.
if(NOT DEFINED KS_MANUAL_DIR)
  set(KS_MANUAL_DIR ${CMAKE_BINARY_DIR}/bin/help)
endif()
install(DIRECTORY ${KS_MANUAL_DIR}/ DESTINATION ${KS_INSTALL_DATADIR}/help OPTIONAL)

# Desktop integration: the menu entry, the icons, the file type.
set(KS_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${KS_PACKAGING}/kestrane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KS_PACKAGING}/kestrane.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${KS_PACKAGING}/icons/kestrane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${KS_PACKAGING}/icons/application-x-kestrane-capture.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${KS_PACKAGING}/icons/${size}/kestrane.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  install(FILES ${KS_PACKAGING}/icons/${size}/application-x-kestrane-capture.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/mimetypes)
endforeach()

# Manual pages and the package's own documents, compressed as Debian wants
# them: the most, and without a time stamp, so that builds are reproducible.
set(KS_MAN_PAGES kestrane ks-convert ks-capture ks-probe)
set(KS_GZIPPED "")
foreach(page ${KS_MAN_PAGES})
  # The version in each page's title is the project's.
  configure_file(${KS_PACKAGING}/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/man/${page}.1 > ${out}
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1 VERBATIM)
  list(APPEND KS_GZIPPED ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# The changelog's newest entry names the version the package is built as:
# one version, from project() above, and a changelog that must agree.
file(STRINGS ${KS_PACKAGING}/changelog KS_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT KS_CHANGELOG_TOP MATCHES "^kestrane \\(${PROJECT_VERSION}\\)")
  message(FATAL_ERROR "packaging/changelog's newest entry is not version ${PROJECT_VERSION}: ${KS_CHANGELOG_TOP}")
endif()
set(out ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${out}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND gzip -9 -n -c ${KS_PACKAGING}/changelog > ${out}
  DEPENDS ${KS_PACKAGING}/changelog VERBATIM)
list(APPEND KS_GZIPPED ${out})
add_custom_target(ks-packaging-files ALL DEPENDS ${KS_GZIPPED})
install(FILES ${out} ${KS_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrane)

# The commands on the path, and the manual beside the program, as relative
# links so that the tree works wherever it is unpacked.
file(RELATIVE_PATH KS_BIN_TO_PRIVATE /${CMAKE_INSTALL_BINDIR} /${KS_INSTALL_PRIVATEDIR})
file(RELATIVE_PATH KS_PRIVATE_TO_HELP /${KS_INSTALL_PRIVATEDIR} /${KS_INSTALL_DATADIR}/help)
set(KS_COMMANDS kestrane ks-convert ks-capture ks-probe)
install(CODE "
  set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  file(MAKE_DIRECTORY \"\${root}/${CMAKE_INSTALL_BINDIR}\")
  foreach(command ${KS_COMMANDS})
    file(CREATE_LINK \"${KS_BIN_TO_PRIVATE}/\${command}\" \"\${root}/${CMAKE_INSTALL_BINDIR}/\${command}\" SYMBOLIC)
  endforeach()
  file(CREATE_LINK \"${KS_PRIVATE_TO_HELP}\" \"\${root}/${KS_INSTALL_PRIVATEDIR}/help\" SYMBOLIC)
")

# The package. Dependencies come from dpkg-shlibdeps; Qt's platform plugins
# are loaded at run time, so no library names them, and the desktop's
# browser opens the manual.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The address is a placeholder (the reserved "invalid" domain) until the
# project has one to publish; packaging/copyright says the same.
set(CPACK_PACKAGE_CONTACT "Kestrane developers <maintainers@kestrane.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "line monitor for RS-232 serial links")
# The summary is the synopsis; CPack indents the text below it and marks the
# empty line as a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kestrane drives a small USB probe that listens passively to both data
directions and the five modem control lines of an RS-232 link, and shows
the traffic live as coloured lines of characters, control-line rows and
time stamps. It counts, searches and prints captures, saves and opens
capture files, and records long captures into a series of files.

The package installs the simulated probe as its transport, so everything
can be tried without hardware, and the command-line tools ks-convert
(capture files as text), ks-capture (recording without a window) and
ks-probe (plugging and pulling the simulated probe).")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# openssh-client: the remote transport runs ssh (a far machine needs only the package).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, openssh-client")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
