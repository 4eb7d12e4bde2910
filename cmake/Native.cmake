# The Linux host: clang, so that the sanitizers and libFuzzer come from one compiler.
option(PELLOMIR_SANITIZE "Build the settings code and its tests with ASan and UBSan" ON)

set(PELLOMIR_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                             -fno-omit-frame-pointer)

function(pellomir_product_code target)
  if(PELLOMIR_SANITIZE)
    target_compile_options(${target} PRIVATE ${PELLOMIR_SANITIZER_FLAGS})
    target_link_options(${target} INTERFACE ${PELLOMIR_SANITIZER_FLAGS})
  endif()
endfunction()

# A test program of the host, compiled with the sanitizers like the code it tests, whose link
# options bring them to its link.
function(pellomir_test_program target)
  if(PELLOMIR_SANITIZE)
    target_compile_options(${target} PRIVATE ${PELLOMIR_SANITIZER_FLAGS})
  endif()
endfunction()
