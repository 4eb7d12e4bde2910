# What made the product's bytes besides its sources, as README.txt names it: the Debian release and
# the Debian packages of the compiler, the linker and the Windows runtime that is linked in. A
# rebuild matches only with the same ones. Point releases are left out: they change no package by
# themselves. Included by the packing, or run as `cmake -P Toolchain.cmake`, which prints the
# lines for the i686 tools on PATH.

# One line: what LABEL's FILE is, its Debian package and version, or its own word where no
# package holds it.
function(_pellomir_tool out label file)
  execute_process(COMMAND dpkg-query -S ${file} OUTPUT_VARIABLE _package ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _result)
  string(REGEX REPLACE ":.*" "" _package "${_package}")
  if(_result EQUAL 0)
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${_package} OUTPUT_VARIABLE _version)
    set(_what "${_package} ${_version}")
  else()
    execute_process(COMMAND ${file} --version OUTPUT_VARIABLE _what ERROR_QUIET)
    string(REGEX REPLACE "\n.*" "" _what "${file}, in no Debian package: ${_what}")
  endif()
  set(${out} "${label}${_what}" PARENT_SCOPE)
endfunction()

# Lines of "  Label:    what", for the compiler COMPILER and the linker LINKER.
function(pellomir_toolchain out compiler linker)
  file(STRINGS /etc/os-release _lines)
  foreach(_key NAME VERSION_ID VERSION_CODENAME)
    string(REGEX MATCH "(^|;)${_key}=\"?([^\";]*)" _ "${_lines}")
    set(_${_key} "${CMAKE_MATCH_2}")
  endforeach()
  set(_os "${_NAME} ${_VERSION_ID} (${_VERSION_CODENAME})")
  get_filename_component(_compiler ${compiler} REALPATH)
  execute_process(COMMAND ${compiler} -print-file-name=crt2.o OUTPUT_VARIABLE _runtime
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(_runtime "${_runtime}" REALPATH)
  _pellomir_tool(_compiler "  Compiler: " ${_compiler})
  _pellomir_tool(_linker "  Linker:   " ${linker})
  _pellomir_tool(_runtime "  Runtime:  " ${_runtime})
  set(${out} "  Built on: ${_os}\n${_compiler}\n${_linker}\n${_runtime}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  find_program(_compiler i686-w64-mingw32-g++-posix REQUIRED)
  find_program(_linker i686-w64-mingw32-ld REQUIRED)
  pellomir_toolchain(_lines ${_compiler} ${_linker})
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${_lines}")
endif()
