# Read by cpack as it packs, before it builds. The release name goes only to a ZIP of the last
# commit: its tracked files, at its time. Anything else is packed under the name with
# "-uncommitted" added, and one line says why. The ZIP's file times are the last commit's, so that
# one commit always makes the same ZIP; a SOURCE_DATE_EPOCH of the caller's wins. Without either
# there is no ZIP: one with this moment's times would pass for the release of the commit.

# No earlier pack in the output folder may pass for the result of this one, however it ends.
set(_name ${CPACK_PACKAGE_FILE_NAME})
set(_dir ${CPACK_PACKAGE_DIRECTORY})
if(CPACK_OUTPUT_FILE_PREFIX)
  # cpack writes there instead, a relative one from its working folder.
  execute_process(COMMAND pwd OUTPUT_VARIABLE _dir OUTPUT_STRIP_TRAILING_WHITESPACE)
  cmake_path(ABSOLUTE_PATH CPACK_OUTPUT_FILE_PREFIX BASE_DIRECTORY ${_dir} OUTPUT_VARIABLE _dir)
endif()
set(_packs ${_dir}/${_name}.zip ${_dir}/${_name}.zip.sha256 ${_dir}/${_name}-uncommitted.zip
           ${_dir}/${_name}-uncommitted.zip.sha256)
file(REMOVE ${_packs})
include(${CMAKE_CURRENT_LIST_DIR}/BuildLock.cmake)
# Again: a pack that held the lock meanwhile may have made them.
file(REMOVE ${_packs})
# With it, install would put links to the build's files in the ZIP.
unset(ENV{CMAKE_INSTALL_MODE})

# Runs git in this tree; where it fails, _why gets its first line, or with no git the result.
macro(_git out)
  execute_process(COMMAND git -C ${CMAKE_CURRENT_LIST_DIR}/.. ${ARGN} OUTPUT_VARIABLE ${out}
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_VARIABLE _why RESULT_VARIABLE _result)
  string(REGEX REPLACE "\n.*" "" _why "${_why}")
  if(_why STREQUAL "")
    set(_why "${_result}")
  endif()
endmacro()

_git(_head log -1 "--format=%ct %H")
string(REGEX REPLACE " .*" "" _time "${_head}")
string(REGEX REPLACE ".* " "" _commit "${_head}")
if(NOT _time MATCHES "^[0-9]+$")
  if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    message(FATAL_ERROR " No ZIP: no commit time from git (${_why}); set SOURCE_DATE_EPOCH "
                        "to pack these sources at a time of your choice")
  endif()
  set(_differs "there is no last commit from git to compare with (${_why})")
elseif(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${_time})
elseif(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL _time)
  set(_differs
      "SOURCE_DATE_EPOCH ($ENV{SOURCE_DATE_EPOCH}) is not the last commit's time (${_time})")
endif()

if(NOT DEFINED _differs)
  # Without optional locks git leaves the index alone: packing writes nothing in the sources.
  _git(_changes --no-optional-locks status --porcelain --untracked-files=no)
  if(NOT _result EQUAL 0)
    set(_differs "git cannot tell whether the tracked files are the last commit's (${_why})")
  elseif(NOT _changes STREQUAL "")
    string(REPLACE "\n" ";" _changes "${_changes}")
    list(LENGTH _changes _count)
    list(SUBLIST _changes 0 3 _differs)
    list(TRANSFORM _differs REPLACE "^.. " "")
    list(JOIN _differs ", " _differs)
    if(_count GREATER 3)
      math(EXPR _count "${_count} - 3")
      string(APPEND _differs " and ${_count} more differ")
    elseif(_count GREATER 1)
      string(APPEND _differs " differ")
    else()
      string(APPEND _differs " differs")
    endif()
    string(APPEND _differs " from the last commit")
  endif()
endif()

# Signing is asked for through the environment alone, so that no key, path to a key or PIN is ever
# written into a build folder. sign.sh says what is missing or wrong before anything is built.
foreach(_setting CERT KEY PKCS11_MODULE PIN_FILE TIMESTAMP_URL)
  if(NOT "$ENV{PELLOMIR_SIGN_${_setting}}" STREQUAL "")
    set(CPACK_PELLOMIR_SIGN ON)
  endif()
endforeach()
if(CPACK_PELLOMIR_SIGN)
  if(DEFINED _differs)
    message(FATAL_ERROR " No ZIP: only the release is signed, and ${_differs}")
  endif()
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/sign.sh check OUTPUT_VARIABLE _said
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR " ${_said}")
  endif()
endif()

# For README.txt, which names the commit, or says that this is none.
if(NOT DEFINED _differs)
  set(CPACK_PELLOMIR_COMMIT ${_commit})
else()
  set(CPACK_PACKAGE_FILE_NAME ${_name}-uncommitted)
  message(NOTICE "Packing ${CPACK_PACKAGE_FILE_NAME}.zip, not the release, as ${_differs}")
  set(CPACK_PELLOMIR_DIFFERS "${_differs}")
  if(_commit MATCHES "^[0-9a-f]+$")
    set(CPACK_PELLOMIR_DIFFERS "this is not a pack of commit ${_commit}, as ${_differs}")
  endif()
endif()
