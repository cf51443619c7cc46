# Installation of the Linux program and its Debian package (cpack -G DEB from the native-release build).
# What goes where:
#   bin/halcyra-screensaver                                   the program
#   libexec/xscreensaver/halcyra-screensaver                  link to it, where XScreenSaver looks for display programs
#   share/xscreensaver/config/halcyra-screensaver.xml         its entry in xscreensaver-settings
#   share/applications/halcyra-screensaver-settings.desktop   the settings dialog in the desktop menu
#   share/man/man6/halcyra-screensaver.6.gz                   the manual page
#   share/doc/halcyra-screensaver/copyright                   the licence and every data source's terms, machine-readable
#   share/doc/halcyra-screensaver/changelog.gz                the package's changes, in Debian's format
#   share/doc/halcyra-screensaver/LOCATIONS-CREDITS.md        notices that the built-in location table's sources ask binaries to carry

set(HALCYRA_PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging/linux)
set(HALCYRA_PACKAGING_BINARY_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)

# The package step builds the program alone: installing must not build the tests and benchmarks first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The manual page and the changelog, compressed without name or time stamp so that two builds give the
# same bytes. The program depends on them so that building that target alone leaves everything the
# install needs.
configure_file(${HALCYRA_PACKAGING_DIR}/halcyra-screensaver.6.in ${HALCYRA_PACKAGING_BINARY_DIR}/halcyra-screensaver.6 @ONLY)
find_program(HALCYRA_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${HALCYRA_PACKAGING_BINARY_DIR}/halcyra-screensaver.6.gz
  COMMAND ${HALCYRA_GZIP} -9nkf halcyra-screensaver.6
  DEPENDS ${HALCYRA_PACKAGING_BINARY_DIR}/halcyra-screensaver.6
  WORKING_DIRECTORY ${HALCYRA_PACKAGING_BINARY_DIR}
  COMMENT "Compressing the manual page"
  VERBATIM)

# The changelog's latest entry names the version the package carries, so the two cannot drift apart.
file(STRINGS ${HALCYRA_PACKAGING_DIR}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^halcyra-screensaver \\(([^)]*)\\) ")
  message(FATAL_ERROR "packaging/linux/changelog does not begin with an entry of halcyra-screensaver")
elseif(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/linux/changelog's latest entry is version ${CMAKE_MATCH_1}, not the project's "
                      "${PROJECT_VERSION}: add an entry for it")
endif()
configure_file(${HALCYRA_PACKAGING_DIR}/changelog ${HALCYRA_PACKAGING_BINARY_DIR}/changelog COPYONLY)
add_custom_command(
  OUTPUT ${HALCYRA_PACKAGING_BINARY_DIR}/changelog.gz
  COMMAND ${HALCYRA_GZIP} -9nkf changelog
  DEPENDS ${HALCYRA_PACKAGING_BINARY_DIR}/changelog
  WORKING_DIRECTORY ${HALCYRA_PACKAGING_BINARY_DIR}
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(halcyra_package_documents DEPENDS ${HALCYRA_PACKAGING_BINARY_DIR}/halcyra-screensaver.6.gz
                                                   ${HALCYRA_PACKAGING_BINARY_DIR}/changelog.gz)
add_dependencies(halcyra_screensaver halcyra_package_documents)

# A relative link, so the installed tree works under any prefix and inside the package.
file(CREATE_LINK ../../bin/halcyra-screensaver ${HALCYRA_PACKAGING_BINARY_DIR}/halcyra-screensaver SYMBOLIC)

install(TARGETS halcyra_screensaver RUNTIME DESTINATION bin)
install(FILES ${HALCYRA_PACKAGING_BINARY_DIR}/halcyra-screensaver DESTINATION libexec/xscreensaver)
install(FILES ${HALCYRA_PACKAGING_DIR}/halcyra-screensaver.xml DESTINATION share/xscreensaver/config)
install(FILES ${HALCYRA_PACKAGING_DIR}/halcyra-screensaver-settings.desktop DESTINATION share/applications)
install(FILES ${HALCYRA_PACKAGING_BINARY_DIR}/halcyra-screensaver.6.gz DESTINATION share/man/man6)
install(FILES ${HALCYRA_PACKAGING_DIR}/copyright ${HALCYRA_PACKAGING_BINARY_DIR}/changelog.gz
              ${CMAKE_CURRENT_SOURCE_DIR}/assets/LOCATIONS-CREDITS.md DESTINATION share/doc/halcyra-screensaver)

set(CPACK_PACKAGE_NAME halcyra-screensaver)
set(CPACK_PACKAGE_VENDOR "Tessaly Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "calm sea at dusk screensaver for XScreenSaver")
set(CPACK_PACKAGE_DESCRIPTION "A calm sea at dusk with looping animations, random bursts and small birds
in flight, and a looped ambient sound, with optional gadgets in a band at
the bottom of the screen: a clock, the weather for a chosen place and a
creeping line of news headlines. It runs full screen on its own or as a
display program of XScreenSaver (halcyra-screensaver --root); its settings
dialog is halcyra-screensaver /c.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tessaly Software <packages@tessaly-software.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# XScreenSaver runs it; the gadgets' text asks for Arial, whose metric twin is Liberation Sans; F2 and
# F3 hand their pages to xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver, fonts-liberation2, xdg-utils, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The package's folders 0755 whatever the umask of the one who builds it.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/PackageFolderModes.cmake)
include(CPack)
