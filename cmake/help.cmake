# The help file Vantrel.chm, built from help/ with chmcmd (Debian: fp-utils) and
# placed at the top of the build directory, beside Vantrel.exe.
#
# Included from the Win32 build: defines the target vantrel_help (ALL). The same
# file is the build step itself when run in script mode (cmake -P).
#
# The HTML Help viewer is not Unicode-aware: the contents, the index and the
# title are read in the ANSI code page of the file's language (0x411, so
# Shift-JIS), and each page needs its charset declared. The sources are kept in
# UTF-8 so they stay readable; the build step converts the text files to CP932
# and rewrites their charset declaration in a copy under the build directory,
# so nothing is written into the source tree. A character outside Shift-JIS
# fails the build instead of turning into garbage.

set(_vantrel_help_text_exts htm hhc hhk hhp css)
set(_vantrel_help_copy_exts bmp png gif jpg)

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode. Inputs: VANTREL_HELP_SRC, VANTREL_HELP_STAGE, VANTREL_HELP_OUT,
  # VANTREL_ICONV, VANTREL_CHMCMD.
  foreach(var VANTREL_HELP_SRC VANTREL_HELP_STAGE VANTREL_HELP_OUT VANTREL_ICONV VANTREL_CHMCMD)
    if(NOT DEFINED ${var})
      message(FATAL_ERROR "help.cmake: ${var} is not set")
    endif()
  endforeach()

  # A fresh copy each time, so a file removed from help/ does not linger.
  file(REMOVE_RECURSE "${VANTREL_HELP_STAGE}")
  file(MAKE_DIRECTORY "${VANTREL_HELP_STAGE}")

  foreach(ext IN LISTS _vantrel_help_text_exts)
    file(GLOB names RELATIVE "${VANTREL_HELP_SRC}" "${VANTREL_HELP_SRC}/*.${ext}")
    foreach(name IN LISTS names)
      file(READ "${VANTREL_HELP_SRC}/${name}" text)
      string(REPLACE "charset=utf-8" "charset=Shift_JIS" text "${text}")
      set(utf8 "${VANTREL_HELP_STAGE}/${name}.utf8")
      file(WRITE "${utf8}" "${text}")
      execute_process(
        COMMAND "${VANTREL_ICONV}" -f UTF-8 -t CP932 "${utf8}"
        OUTPUT_FILE "${VANTREL_HELP_STAGE}/${name}"
        ERROR_VARIABLE err
        RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "help/${name}: not convertible to Shift-JIS: ${err}")
      endif()
      file(REMOVE "${utf8}")
    endforeach()
  endforeach()
  foreach(ext IN LISTS _vantrel_help_copy_exts)
    file(GLOB names "${VANTREL_HELP_SRC}/*.${ext}")
    if(names)
      file(COPY ${names} DESTINATION "${VANTREL_HELP_STAGE}")
    endif()
  endforeach()

  # chmcmd writes the file the project names (Vantrel.chm) next to the project.
  file(REMOVE "${VANTREL_HELP_STAGE}/Vantrel.chm")
  execute_process(
    COMMAND "${VANTREL_CHMCMD}" --verbosity 1 vantrel.hhp
    WORKING_DIRECTORY "${VANTREL_HELP_STAGE}"
    OUTPUT_VARIABLE out
    ERROR_VARIABLE out
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT EXISTS "${VANTREL_HELP_STAGE}/Vantrel.chm")
    message(FATAL_ERROR "chmcmd failed (${rc}):\n${out}")
  endif()
  # chmcmd reports unresolved links and missing files but still succeeds.
  if(out MATCHES "[Ww]arning|[Ee]rror|not found|[Mm]issing")
    message(FATAL_ERROR "chmcmd complained:\n${out}")
  endif()
  file(COPY_FILE "${VANTREL_HELP_STAGE}/Vantrel.chm" "${VANTREL_HELP_OUT}")
  return()
endif()

find_program(VANTREL_CHMCMD chmcmd)
find_program(VANTREL_ICONV iconv)
if(NOT VANTREL_CHMCMD OR NOT VANTREL_ICONV)
  message(FATAL_ERROR "The help file needs chmcmd (Debian package fp-utils) and iconv; run scripts/setup.")
endif()

cmake_path(SET _vantrel_help_src NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/../help")
set(_vantrel_help_globs)
foreach(ext IN LISTS _vantrel_help_text_exts _vantrel_help_copy_exts)
  list(APPEND _vantrel_help_globs "${_vantrel_help_src}/*.${ext}")
endforeach()
file(GLOB _vantrel_help_sources CONFIGURE_DEPENDS ${_vantrel_help_globs})

add_custom_command(
  OUTPUT "${CMAKE_BINARY_DIR}/Vantrel.chm"
  COMMAND "${CMAKE_COMMAND}"
    "-DVANTREL_HELP_SRC=${_vantrel_help_src}"
    "-DVANTREL_HELP_STAGE=${CMAKE_CURRENT_BINARY_DIR}/vantrel_help"
    "-DVANTREL_HELP_OUT=${CMAKE_BINARY_DIR}/Vantrel.chm"
    "-DVANTREL_ICONV=${VANTREL_ICONV}"
    "-DVANTREL_CHMCMD=${VANTREL_CHMCMD}"
    -P "${CMAKE_CURRENT_LIST_FILE}"
  DEPENDS ${_vantrel_help_sources} "${CMAKE_CURRENT_LIST_FILE}"
  COMMENT "Building the help file Vantrel.chm"
  VERBATIM)
add_custom_target(vantrel_help ALL DEPENDS "${CMAKE_BINARY_DIR}/Vantrel.chm")
