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
# The example layouts by name, for the installer to put in, check for and take out
# exactly these: an examples folder may hold files of someone else's that stay.
set(_vantrel_list "${CMAKE_BINARY_DIR}/installer-examples.nsh")
set(_vantrel_macro "; Written by cmake/installer.cmake from examples/*.fkl.\n!macro VANTREL_EXAMPLES DO\n")
foreach(_example IN LISTS _vantrel_examples)
  cmake_path(GET _example FILENAME _name)
  string(REPLACE "$" "$$" _name "${_name}")
  string(APPEND _vantrel_macro "  !insertmacro \${DO} \"${_name}\"\n")
endforeach()
string(APPEND _vantrel_macro "!macroend\n")
# Rewritten only when it changes: the installer is not rebuilt for nothing.
file(CONFIGURE OUTPUT "${_vantrel_list}" CONTENT "${_vantrel_macro}" @ONLY)
add_custom_command(
  OUTPUT "${CMAKE_BINARY_DIR}/Vantrel-setup.exe"
  # The script is UTF-8 without a byte-order mark (its Japanese texts).
  COMMAND "${VANTREL_MAKENSIS}" -V2 -INPUTCHARSET UTF8
    "-DVANTREL_SOURCE=${_vantrel_source}"
    "-DVANTREL_BIN=${CMAKE_BINARY_DIR}"
    "-DVANTREL_EXAMPLES=${_vantrel_list}"
    "-DVANTREL_SETUP=${CMAKE_BINARY_DIR}/Vantrel-setup.exe"
    "${_vantrel_source}/installer/vantrel.nsi"
  DEPENDS "${_vantrel_source}/installer/vantrel.nsi" "${_vantrel_list}" ${_vantrel_examples}
    "$<TARGET_FILE:vantrel>" "${CMAKE_BINARY_DIR}/Vantrel.chm"
    "${_vantrel_source}/win32/res/active.ico" "${_vantrel_source}/win32/res/idle.ico"
  COMMENT "Building the installer Vantrel-setup.exe"
  VERBATIM)
add_custom_target(installer ALL DEPENDS "${CMAKE_BINARY_DIR}/Vantrel-setup.exe")
# Vantrel.chm is made in another directory: its target must run first.
add_dependencies(installer vantrel vantrel_help)
