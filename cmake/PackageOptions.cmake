# Read by CPack once for each generator (CPACK_PROJECT_CONFIG_FILE).
# The installer is AdvClean-VERSION-win64-setup.exe beside the ZIP.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
