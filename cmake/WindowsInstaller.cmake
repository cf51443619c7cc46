# The Windows installer, HalcyraScreensaver-Setup-<version>.exe, made by makensis from the module
# beside it in the build folder (packaging/windows/HalcyraScreensaver.nsi says what it installs).
find_program(HALCYRA_MAKENSIS makensis REQUIRED)

# The notices of the libraries linked into the module, installed beside it. The linker's map of the
# module lists every library it takes code from; the installer is made only when each has its section.
set(HALCYRA_NOTICES_FILE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/THIRD-PARTY-NOTICES.txt)
set(HALCYRA_MODULE_MAP ${CMAKE_BINARY_DIR}/HalcyraScreensaver.map)
target_link_options(halcyra_screensaver PRIVATE "LINKER:-Map=${HALCYRA_MODULE_MAP}")

set(HALCYRA_INSTALLER_NAME HalcyraScreensaver-Setup-${PROJECT_VERSION}.exe)
set(HALCYRA_INSTALLER ${CMAKE_BINARY_DIR}/${HALCYRA_INSTALLER_NAME})
set(HALCYRA_INSTALLER_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/HalcyraScreensaver.nsi)
# The installer's file properties want four numbers.
set(file_version ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
foreach(part PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    string(APPEND file_version .0)
  else()
    string(APPEND file_version .${PROJECT_VERSION_${part}})
  endif()
endforeach()

add_custom_command(
  OUTPUT ${HALCYRA_INSTALLER}
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check-notices ${HALCYRA_NOTICES_FILE} ${HALCYRA_MODULE_MAP}
  COMMAND ${HALCYRA_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DFILE_VERSION=${file_version}
          -DMODULE=$<TARGET_FILE:halcyra_screensaver> -DLICENSE_FILE=${CMAKE_CURRENT_SOURCE_DIR}/LICENSE
          -DCREDITS_FILE=${CMAKE_CURRENT_SOURCE_DIR}/assets/LOCATIONS-CREDITS.md -DNOTICES_FILE=${HALCYRA_NOTICES_FILE}
          -DMAKER_HOST=${HALCYRA_MAKER_HOST}
          -DOUTFILE=${HALCYRA_INSTALLER} ${HALCYRA_INSTALLER_SCRIPT}
  DEPENDS halcyra_screensaver ${HALCYRA_INSTALLER_SCRIPT} ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE
          ${CMAKE_CURRENT_SOURCE_DIR}/assets/LOCATIONS-CREDITS.md ${HALCYRA_NOTICES_FILE}
          ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check-notices
  COMMENT "Making ${HALCYRA_INSTALLER_NAME}"
  VERBATIM)
# Part of every build of the module, so that the installer's test never meets an older module.
add_custom_target(halcyra_installer ALL DEPENDS ${HALCYRA_INSTALLER})
