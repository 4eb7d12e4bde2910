# Run by cpack on the ZIP it made, before it copies it out beside its checksum. libarchive stores
# local time and the packer's uid and gid; strip-nondeterminism sets every time to
# SOURCE_DATE_EPOCH (in UTC, whatever TZ says), uid and gid to 0 and modes to 644 or 755.
foreach(_zip IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND strip-nondeterminism --type zip --timestamp "$ENV{SOURCE_DATE_EPOCH}"
                  ${_zip} RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    # An error here does not stop cpack from copying the ZIP out as it is.
    file(REMOVE ${_zip})
    message(FATAL_ERROR " No ZIP: strip-nondeterminism --timestamp \"$ENV{SOURCE_DATE_EPOCH}\" "
                        "failed (${_result}); cmake/install-deps.sh installs it")
  endif()
endforeach()
if(PELLOMIR_SIGNED)
  message(NOTICE "${PELLOMIR_SIGNED}")
endif()
