# The installer Vantrel-setup.exe (installer/vantrel.nsi), built with makensis
# (Debian package nsis) beside Vantrel.exe. Included from the Win32 build after
# the program and its help are defined; without makensis there is no installer.

find_program(VANTREL_MAKENSIS makensis)
if(NOT VANTREL_MAKENSIS)
  message(STATUS "makensis not found (run scripts/setup): no installer")
  return()
endif()

cmake_path(SET _vantrel_source NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/..")
file(GLOB _vantrel_examples CONFIGURE_DEPENDS "${_vantrel_source}/examples/*.fkl")
add_custom_command(
  OUTPUT "${CMAKE_BINARY_DIR}/Vantrel-setup.exe"
  # The script is UTF-8 without a byte-order mark (its Japanese texts).
  COMMAND "${VANTREL_MAKENSIS}" -V2 -INPUTCHARSET UTF8
    "-DVANTREL_SOURCE=${_vantrel_source}"
    "-DVANTREL_BIN=${CMAKE_BINARY_DIR}"
    "-DVANTREL_SETUP=${CMAKE_BINARY_DIR}/Vantrel-setup.exe"
    "${_vantrel_source}/installer/vantrel.nsi"
  DEPENDS "${_vantrel_source}/installer/vantrel.nsi" ${_vantrel_examples}
    "$<TARGET_FILE:vantrel>" "${CMAKE_BINARY_DIR}/Vantrel.chm"
    "${_vantrel_source}/win32/res/active.ico" "${_vantrel_source}/win32/res/idle.ico"
  COMMENT "Building the installer Vantrel-setup.exe"
  VERBATIM)
add_custom_target(installer ALL DEPENDS "${CMAKE_BINARY_DIR}/Vantrel-setup.exe")
# Vantrel.chm is made in another directory: its target must run first.
add_dependencies(installer vantrel vantrel_help)
