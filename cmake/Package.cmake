# The release: one ZIP with the product and a README for the person who installs it, made by
# `cpack --preset win32`. The README is kept with LF line ends and shipped with CR LF, with the
# project's version filled in and the licence, which must go wherever the program goes, at its end.
set(_readme ${PROJECT_SOURCE_DIR}/docs/README.txt)
set(_licence ${PROJECT_SOURCE_DIR}/LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_readme} ${_licence})
file(READ ${_readme} _text)
string(CONFIGURE "${_text}" _text @ONLY)
file(READ ${_licence} _licence_text)
string(APPEND _text "\n${_licence_text}")
string(REPLACE "\n" "\r\n" _text "${_text}")
# Rewritten only when it changes: a configure run must not cut short a package made meanwhile.
file(WRITE ${CMAKE_BINARY_DIR}/README.txt.new "${_text}")
file(COPY_FILE ${CMAKE_BINARY_DIR}/README.txt.new ${CMAKE_BINARY_DIR}/README.txt ONLY_IF_DIFFERENT)

install(TARGETS PellomirStartup RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_VENDOR "Pellomir")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sets the values for Plurex and starts it")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageConfig.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageNormalize.cmake)
include(CPack)
