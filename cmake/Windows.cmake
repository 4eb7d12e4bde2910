# Windows builds: the i686 product and its x86_64 twin, identical but for the toolchain.

# Wine runs every Windows program of the build; see wine-run.sh. The product and its twin share
# one prefix: a prefix that runs 32-bit programs costs 15 s and 1.3 GB to make.
set(PELLOMIR_WINEPREFIX ${PROJECT_SOURCE_DIR}/build/wineprefix CACHE PATH
    "The Wine prefix of the tests, made afresh by each run; a folder they did not make is refused")
set(PELLOMIR_SESSION ${CMAKE_CURRENT_LIST_DIR}/wine-session.sh)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Skipped where this machine cannot execute 32-bit code at all; any other failure fails.
  set(PELLOMIR_RUN run32)
else()
  set(PELLOMIR_RUN run)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# Everything that ships: small, no C++ runtime machinery, nothing that runs before WinMain.
set(PELLOMIR_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # 32-bit Windows unwinds by the frame chain; .eh_frame would serve only the C++ exceptions
  # turned off above. On x86_64 the same tables are the .pdata/.xdata by which Windows itself
  # walks the stack (exceptions, debuggers, crash dumps), so the twin keeps them.
  list(APPEND PELLOMIR_PRODUCT_FLAGS -fno-asynchronous-unwind-tables)
endif()
function(pellomir_product_code target)
  target_compile_options(${target} PRIVATE ${PELLOMIR_PRODUCT_FLAGS})
endfunction()

# -static keeps libwinpthread and libgcc out of the import table: KERNEL32, USER32, msvcrt only.
# No link time stamp: the same sources make the same bytes. ASLR, DEP and terminal-server
# awareness are asked for here rather than left to binutils' defaults, which older binutils did
# not set; ASLR moves the image by its base relocations, so the stripped exe keeps .reloc.
function(pellomir_product_exe target)
  target_link_options(${target} PRIVATE -static -s -Os -Wl,--no-insert-timestamp
    -Wl,--dynamicbase,--nxcompat,--tsaware,--enable-reloc-section)
endfunction()

# Windows programs of the tests and tools: no mingw DLLs for Wine to find.
function(pellomir_windows_program)
  foreach(target ${ARGN})
    target_link_options(${target} PRIVATE -static)
  endforeach()
endfunction()

# A test that runs under Wine in the tests' prefix, made once per test run; a hang fails it.
function(pellomir_add_wine_test name)
  add_test(NAME ${name} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "wine;wine32" TIMEOUT 120
                                           SKIP_RETURN_CODE 77)
endfunction()

add_test(NAME wine.start COMMAND ${PELLOMIR_SESSION} start ${PELLOMIR_WINEPREFIX})
add_test(NAME wine.stop COMMAND ${PELLOMIR_SESSION} stop ${PELLOMIR_WINEPREFIX})
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # A program of this build that only prints how it is used: where Wine runs no 32-bit program,
  # this test says so with what Wine printed, and the product's other tests are not run.
  add_test(NAME wine.32bit COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:demo>)
  set_tests_properties(wine.32bit PROPERTIES FIXTURES_REQUIRED wine FIXTURES_SETUP wine32
                       PASS_REGULAR_EXPRESSION "Usage: demo LAUNCHER" SKIP_RETURN_CODE 77 TIMEOUT 60)
endif()
