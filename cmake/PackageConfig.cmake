# Read by cpack as it packs, before it builds: it waits for other builds of the tree. The ZIP's file times are the last commit's, so that one commit
# always makes the same ZIP; a SOURCE_DATE_EPOCH of the caller's wins. Without either there is
# no ZIP: one with this moment's times would pass for the release of the commit.
include(${CMAKE_CURRENT_LIST_DIR}/BuildLock.cmake)
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${CMAKE_CURRENT_LIST_DIR}/.. log -1 --format=%ct
                  OUTPUT_VARIABLE _time OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_VARIABLE _why ERROR_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _result)
  if(NOT _time MATCHES "^[0-9]+$")
    # git's first line says why; with no git there is only the result.
    string(REGEX REPLACE "\n.*" "" _why "${_why}")
    if(_why STREQUAL "")
      set(_why "${_result}")
    endif()
    message(FATAL_ERROR " No ZIP: no commit time from git (${_why}); set SOURCE_DATE_EPOCH "
                        "to pack these sources at a time of your choice")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${_time})
endif()
