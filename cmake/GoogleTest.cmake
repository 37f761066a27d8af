# GoogleTest and GoogleMock built from the system's sources, for the native
# and the MinGW build alike, and advclean_add_test() to declare a test.
#
#   advclean_add_test(NAME paradox_file_test
#                     SOURCES file_test.cpp path_test.cpp
#                     LIBS paradox
#                     [TIMEOUT seconds])
#
# builds one test program linked with gtest_main (and gmock), registers it
# with CTest (the MinGW build runs it through CMAKE_CROSSCOMPILING_EMULATOR,
# that is under Wine) and gives it two definitions, both as the program sees
# them (on Windows with Wine's drive Z: in front):
#   ADVCLEAN_FIXTURES_DIR  the shared real-file fixtures, fixtures/paradox
#   ADVCLEAN_TEST_TMPDIR   a writable folder in the build folder

set(ADVCLEAN_GOOGLETEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH
    "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS "${ADVCLEAN_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR
    "GoogleTest sources not found in ${ADVCLEAN_GOOGLETEST_SOURCE_DIR}; "
    "run scripts/setup.sh (Debian package googletest)")
endif()

set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory("${ADVCLEAN_GOOGLETEST_SOURCE_DIR}"
                 "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports a false -Wrestrict inside std::string in gtest.cc.
  target_compile_options(gtest PRIVATE -Wno-restrict)
endif()

# Paths as the test programs see them.
if(CMAKE_CROSSCOMPILING AND WIN32)
  set(_advclean_drive "Z:")
else()
  set(_advclean_drive "")
endif()
set(ADVCLEAN_TEST_TMPDIR_HOST "${CMAKE_BINARY_DIR}/test-tmp")
file(MAKE_DIRECTORY "${ADVCLEAN_TEST_TMPDIR_HOST}")
set(ADVCLEAN_FIXTURES_DIR_FOR_TESTS "${_advclean_drive}${ADVCLEAN_SHARED_DIR}/fixtures/paradox")
set(ADVCLEAN_TEST_TMPDIR_FOR_TESTS "${_advclean_drive}${ADVCLEAN_TEST_TMPDIR_HOST}")
if(NOT EXISTS "${ADVCLEAN_SHARED_DIR}/fixtures/paradox")
  message(STATUS "No fixtures at ${ADVCLEAN_SHARED_DIR}/fixtures/paradox: "
                 "the real-file tests will skip")
endif()

function(advclean_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;TIMEOUT" "SOURCES;LIBS")
  if(NOT arg_NAME OR NOT arg_SOURCES)
    message(FATAL_ERROR "advclean_add_test: NAME and SOURCES are required")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "advclean_add_test(${arg_NAME}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  add_executable(${arg_NAME} ${arg_SOURCES})
  target_link_libraries(${arg_NAME} PRIVATE ${arg_LIBS} gmock gtest_main)
  target_compile_definitions(${arg_NAME} PRIVATE
    ADVCLEAN_FIXTURES_DIR="${ADVCLEAN_FIXTURES_DIR_FOR_TESTS}"
    ADVCLEAN_TEST_TMPDIR="${ADVCLEAN_TEST_TMPDIR_FOR_TESTS}")
  add_test(NAME ${arg_NAME} COMMAND ${arg_NAME})
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 600)
  endif()
  set_tests_properties(${arg_NAME} PROPERTIES TIMEOUT ${arg_TIMEOUT})
endfunction()
