# Read by cpack as it packs. The ZIP's file times are the last commit's, so that one commit
# always makes the same ZIP; a SOURCE_DATE_EPOCH of the caller's wins.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${CMAKE_CURRENT_LIST_DIR}/.. log -1 --format=%ct
                  OUTPUT_VARIABLE _time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${_time})
  else()
    message(WARNING "No commit time from git: the ZIP takes its files' own times, and another "
                    "build of these sources will not make the same bytes")
  endif()
endif()
