# The release: one ZIP with the product and a README for the person who installs it, made by
# `cpack --preset win32`. The README is written as cpack packs (PackageStage.cmake): it names the
# commit, which only packing knows.
install(TARGETS PellomirStartup RUNTIME DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_VENDOR "Pellomir")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sets the values for Plurex and starts it")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageConfig.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageStage.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageNormalize.cmake)
# For the README's list of the tools that made the exe, and the signature's program name.
set(CPACK_PELLOMIR_COMPILER ${CMAKE_CXX_COMPILER})
set(CPACK_PELLOMIR_LINKER ${CMAKE_LINKER})
set(CPACK_PELLOMIR_TITLE "Pellomir Startup")
include(CPack)
