# The lock that builds of this tree take, build/.lock: cpack's packing config includes this file
# before cpack builds, and cmake/build.sh runs it as `cmake -P BuildLock.cmake -- COMMAND...`,
# which runs COMMAND under the lock. It is CMake's, an fcntl lock (flock(1) would not see it), so
# the kernel drops it when the process that took it ends, however it ends.
cmake_path(SET _lock NORMALIZE ${CMAKE_CURRENT_LIST_DIR}/../build/.lock)
file(LOCK ${_lock} GUARD PROCESS TIMEOUT 0 RESULT_VARIABLE _locked)
if(_locked STREQUAL "Timeout reached")
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "Waiting for another build of this tree to end")
  file(LOCK ${_lock} GUARD PROCESS RESULT_VARIABLE _locked)
endif()
if(NOT _locked EQUAL 0)
  set(_why "No lock on ${_lock}: ${_locked}")
  if(CMAKE_SCRIPT_MODE_FILE)
    # build.sh drops this process's standard error (see there).
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${_why}")
  endif()
  message(FATAL_ERROR " ${_why}")
endif()

if(CMAKE_SCRIPT_MODE_FILE)
  math(EXPR _last "${CMAKE_ARGC} - 1")
  foreach(_i RANGE 4 ${_last})
    list(APPEND _command "${CMAKE_ARGV${_i}}")
  endforeach()
  execute_process(COMMAND ${_command} RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "${_command}: ${_status}")
  endif()
endif()
