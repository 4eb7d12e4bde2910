# Run by cpack on the files it is about to zip, after PackageConfig.cmake. It writes README.txt
# there, from docs/README.txt with the version and the README's origin filled in and the licence,
# which must go wherever the program goes, at its end, in CR LF; and it signs the exe where the
# maintainer asked for it. An error here leaves no ZIP.
include(${CMAKE_CURRENT_LIST_DIR}/Toolchain.cmake)
set(_stage ${CPACK_TEMPORARY_DIRECTORY})
set(_sources ${CMAKE_CURRENT_LIST_DIR}/..)

if(CPACK_PELLOMIR_COMMIT)
  set(PELLOMIR_ORIGIN "  Commit:   ${CPACK_PELLOMIR_COMMIT}")
else()
  set(PELLOMIR_ORIGIN "  Commit:   none: ${CPACK_PELLOMIR_DIFFERS}")
endif()
pellomir_toolchain(_tools ${CPACK_PELLOMIR_COMPILER} ${CPACK_PELLOMIR_LINKER})
string(APPEND PELLOMIR_ORIGIN "\n${_tools}")
set(PROJECT_VERSION ${CPACK_PACKAGE_VERSION})
file(READ ${_sources}/docs/README.txt _text)
string(CONFIGURE "${_text}" _text @ONLY)
file(READ ${_sources}/LICENSE _licence)
string(APPEND _text "\n${_licence}")
string(REPLACE "\n" "\r\n" _text "${_text}")
file(WRITE ${_stage}/README.txt "${_text}")

if(CPACK_PELLOMIR_SIGN)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/sign.sh sign ${_stage}/PellomirStartup.exe
                          ${CPACK_TOPLEVEL_DIRECTORY}/signing "$ENV{SOURCE_DATE_EPOCH}"
                          ${CPACK_PELLOMIR_TITLE} "${CPACK_PACKAGE_HOMEPAGE_URL}"
                  OUTPUT_VARIABLE _said OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR " ${_said}")
  endif()
  # PackageNormalize.cmake says it last.
  set(PELLOMIR_SIGNED "${_said}")
endif()
