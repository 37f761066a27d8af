# Read by CPack once for each generator (CPACK_PROJECT_CONFIG_FILE). The
# ZIP holds one folder named like it; the installer is
# AdvClean-VERSION-win64-setup.exe beside it.
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
elseif(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
