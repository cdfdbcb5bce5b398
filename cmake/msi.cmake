# The Windows Installer package Vantrel.msi (installer/vantrel.wxs), built with wixl
# and msibuild (Debian packages wixl and msitools) beside Vantrel.exe. Included from
# the Win32 build after the program and its help are defined; without wixl there is
# no package.
#
# The same file is the build step itself when run in script mode:
#   cmake -DVANTREL_BIN=<folder of Vantrel.exe and Vantrel.chm> -DVANTREL_MSI=<out.msi>
#         -DVANTREL_MSI_VERSION=<a.b.c> [-DVANTREL_WIXL=<wixl> and so for msibuild, msiinfo]
#         -P cmake/msi.cmake
# It lists the examples into <out>.examples.wxs, runs wixl, then writes what wixl
# 0.101 leaves out or cannot express.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(VERSION 3.25)
  foreach(var VANTREL_BIN VANTREL_MSI VANTREL_MSI_VERSION)
    if(NOT DEFINED ${var})
      message(FATAL_ERROR "msi.cmake: ${var} is not set")
    endif()
  endforeach()
  find_program(VANTREL_WIXL wixl REQUIRED)
  find_program(VANTREL_MSIBUILD msibuild REQUIRED)
  find_program(VANTREL_MSIINFO msiinfo REQUIRED)
  cmake_path(SET source NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/..")
  cmake_path(ABSOLUTE_PATH VANTREL_BIN NORMALIZE)
  cmake_path(ABSOLUTE_PATH VANTREL_MSI NORMALIZE)
  cmake_path(GET VANTREL_MSI PARENT_PATH out_dir)
  cmake_path(GET VANTREL_MSI STEM LAST_ONLY stem)
  set(fragment "${out_dir}/${stem}.examples.wxs")
  set(partial "${out_dir}/${stem}.partial.msi")
  # wixl finds sources only by paths relative to its working directory.
  cmake_path(RELATIVE_PATH source BASE_DIRECTORY "${VANTREL_BIN}" OUTPUT_VARIABLE rel_source)
  string(REGEX REPLACE "/$" "" rel_source "${rel_source}")

  # One component per example, named after its file: it stays the same component
  # from one version to the next.
  file(GLOB examples RELATIVE "${source}/examples" "${source}/examples/*.fkl")
  set(components "")
  set(refs "")
  set(ids "")
  foreach(name IN LISTS examples)
    string(MAKE_C_IDENTIFIER "example_${name}" id)
    if(id IN_LIST ids)
      message(FATAL_ERROR "msi.cmake: two examples make the id ${id}: rename one")
    endif()
    list(APPEND ids "${id}")
    string(APPEND components "      <Component Id=\"${id}\" Guid=\"*\" Win64=\"yes\">\n"
      "        <File Id=\"${id}\" Name=\"${name}\" KeyPath=\"yes\"\n"
      "              Source=\"${rel_source}/examples/${name}\"/>\n"
      "      </Component>\n")
    string(APPEND refs "      <ComponentRef Id=\"${id}\"/>\n")
  endforeach()
  file(WRITE "${fragment}" "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!-- Made by cmake/msi.cmake from examples/*.fkl. -->\n"
    "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n  <Fragment>\n"
    "    <DirectoryRef Id=\"ExamplesDir\">\n${components}    </DirectoryRef>\n"
    "    <ComponentGroup Id=\"Examples\">\n${refs}    </ComponentGroup>\n"
    "  </Fragment>\n</Wix>\n")

  execute_process(
    COMMAND "${VANTREL_WIXL}" -a x64 -D "Version=${VANTREL_MSI_VERSION}" -D "Source=${rel_source}"
      -D Bin=. -o "${partial}" "${source}/installer/vantrel.wxs" "${fragment}"
    WORKING_DIRECTORY "${VANTREL_BIN}"
    RESULT_VARIABLE failed
    ERROR_VARIABLE said)
  # It notes each shortcut that is not advertised, as these are meant to be; anything
  # else it says is a fault (an attribute it does not know, say).
  string(REGEX REPLACE "[^\n]*builder.vala:[0-9]+: unimplemented\n" "" said "${said}")
  if(failed OR NOT said STREQUAL "")
    file(REMOVE "${partial}")
    message(FATAL_ERROR "wixl failed:\n${said}")
  endif()

  # What wixl 0.101 gets wrong, put right in the database:
  # - It writes its strings in the build machine's code page and leaves the
  #   database's unset ("the system's"): the Japanese refusal comes out empty. The
  #   database gets code page 932 (Shift-JIS, which every Windows reads), then the
  #   refusal's text as the .wxs says it.
  # - It drops IncludeMaximum: the same version must count as older too (256 | 512),
  #   so that a rebuild of one version replaces the package installed before it.
  #   Attributes is a key column: the table goes out and back in.
  file(READ "${source}/installer/vantrel.wxs" wxs)
  if(NOT wxs MATCHES "<Condition Message=\"([^\"']+)\">NOT NEWERVANTREL</Condition>")
    message(FATAL_ERROR "msi.cmake: no refusal of a newer version in vantrel.wxs")
  endif()
  set(refusal "${CMAKE_MATCH_1}")
  execute_process(COMMAND "${VANTREL_MSIINFO}" export "${partial}" Upgrade
    OUTPUT_VARIABLE upgrade COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "\t256\t\tOLDERVANTREL" "\t768\t\tOLDERVANTREL" fixed "${upgrade}")
  if(fixed STREQUAL upgrade)
    message(FATAL_ERROR "msi.cmake: no upgrade of older versions in the package")
  endif()
  file(WRITE "${out_dir}/Upgrade.idt" "${fixed}")
  file(WRITE "${out_dir}/_ForceCodepage.idt" "\r\n\r\n932\t_ForceCodepage\r\n")
  foreach(step
      "-i;${out_dir}/Upgrade.idt"
      "-i;${out_dir}/_ForceCodepage.idt"
      "-q;UPDATE `LaunchCondition` SET `Description` = '${refusal}'
          WHERE `Condition` = 'NOT NEWERVANTREL'")
    execute_process(COMMAND "${VANTREL_MSIBUILD}" "${partial}" ${step}
      RESULT_VARIABLE failed ERROR_VARIABLE said)
    if(failed OR NOT said STREQUAL "")
      file(REMOVE "${partial}")
      message(FATAL_ERROR "msibuild ${step} failed:\n${said}")
    endif()
  endforeach()
  file(REMOVE "${out_dir}/Upgrade.idt" "${out_dir}/_ForceCodepage.idt")
  file(RENAME "${partial}" "${VANTREL_MSI}")
  return()
endif()

find_program(VANTREL_WIXL wixl)
find_program(VANTREL_MSIBUILD msibuild)
find_program(VANTREL_MSIINFO msiinfo)
if(NOT VANTREL_WIXL OR NOT VANTREL_MSIBUILD OR NOT VANTREL_MSIINFO)
  message(STATUS "wixl or msitools not found (run scripts/setup): no Vantrel.msi")
  return()
endif()

# Windows Installer compares the first three fields. project() names no version yet;
# the program's version record says 1.0.0.0.
if(PROJECT_VERSION)
  set(_vantrel_msi_version "${PROJECT_VERSION}")
else()
  set(_vantrel_msi_version 1.0.0)
endif()
cmake_path(SET _vantrel_source NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/..")
file(GLOB _vantrel_examples CONFIGURE_DEPENDS "${_vantrel_source}/examples/*.fkl")
add_custom_command(
  OUTPUT "${CMAKE_BINARY_DIR}/Vantrel.msi"
  COMMAND "${CMAKE_COMMAND}"
    "-DVANTREL_WIXL=${VANTREL_WIXL}" "-DVANTREL_MSIBUILD=${VANTREL_MSIBUILD}"
    "-DVANTREL_MSIINFO=${VANTREL_MSIINFO}"
    "-DVANTREL_BIN=${CMAKE_BINARY_DIR}" "-DVANTREL_MSI=${CMAKE_BINARY_DIR}/Vantrel.msi"
    "-DVANTREL_MSI_VERSION=${_vantrel_msi_version}" -P "${CMAKE_CURRENT_LIST_FILE}"
  DEPENDS "${_vantrel_source}/installer/vantrel.wxs" "${CMAKE_CURRENT_LIST_FILE}"
    ${_vantrel_examples} "$<TARGET_FILE:vantrel>" "${CMAKE_BINARY_DIR}/Vantrel.chm"
    "${_vantrel_source}/win32/res/idle.ico"
  COMMENT "Building the Windows Installer package Vantrel.msi"
  VERBATIM)
add_custom_target(msi ALL DEPENDS "${CMAKE_BINARY_DIR}/Vantrel.msi")
# Vantrel.chm is made in another directory: its target must run first.
add_dependencies(msi vantrel vantrel_help)
