# Windows builds: the i686 product and its x86_64 twin, identical but for the toolchain.

# Wine runs every Windows program of the build; see wine-run.sh.
set(PELLOMIR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# Only the x86_64 twin can run here: Wine's 32-bit loader needs 32-bit Linux support.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PELLOMIR_RUN_WINDOWS_TESTS ON)
else()
  set(PELLOMIR_RUN_WINDOWS_TESTS OFF)
endif()

# Everything that ships: small, no C++ runtime machinery, nothing that runs before WinMain.
function(pellomir_product_code target)
  target_compile_options(${target} PRIVATE -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics)
endfunction()

# -static keeps libwinpthread and libgcc out of the import table: KERNEL32, USER32, msvcrt only.
function(pellomir_product_exe target)
  target_link_options(${target} PRIVATE -static -s -Os)
endfunction()

# Windows programs of the tests and tools: no mingw DLLs for Wine to find.
function(pellomir_windows_program target)
  target_link_options(${target} PRIVATE -static)
endfunction()

# A test that runs under Wine in the build's own prefix, made once per test run.
function(pellomir_add_wine_test name)
  if(NOT PELLOMIR_RUN_WINDOWS_TESTS)
    return()
  endif()
  add_test(NAME ${name} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
endfunction()

if(PELLOMIR_RUN_WINDOWS_TESTS)
  set(_session ${CMAKE_CURRENT_LIST_DIR}/wine-session.sh)
  add_test(NAME wine.start COMMAND ${_session} start ${CMAKE_BINARY_DIR})
  add_test(NAME wine.stop COMMAND ${_session} stop ${CMAKE_BINARY_DIR})
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
endif()
