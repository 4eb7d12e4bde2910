# The product's bytes come from the project's flags alone. CMake would add the caller's to every
# compile and link of a first configure: another exe, or none (mingw's ld knows no -z relro).
foreach(_flags CFLAGS CXXFLAGS LDFLAGS RCFLAGS)
  unset(ENV{${_flags}})
endforeach()
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
