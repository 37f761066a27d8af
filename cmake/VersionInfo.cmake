# The project's one version number (project(... VERSION ...)) as the
# programs see it:
#
#   advclean_version_info(TARGET AdvClean DESCRIPTION "..." [LANGUAGE 0419])
#
# gives a Windows executable its version information (a VERSIONINFO
# resource; LANGUAGE is the hex language id of its texts, 0409 by default).
# The header advclean_version.h, with ADVCLEAN_VERSION, is in the include
# path of the target advclean_version.

set(ADVCLEAN_CMAKE_DIR "${CMAKE_CURRENT_LIST_DIR}")
# Four parts, as Windows writes versions.
set(ADVCLEAN_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(ADVCLEAN_VERSION_DIR "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/advclean_version.h.in" "${ADVCLEAN_VERSION_DIR}/advclean_version.h" @ONLY)
add_library(advclean_version INTERFACE)
target_include_directories(advclean_version INTERFACE "${ADVCLEAN_VERSION_DIR}")

function(advclean_version_info)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;DESCRIPTION;LANGUAGE" "")
  if(NOT WIN32)
    return()
  endif()
  if(NOT arg_LANGUAGE)
    set(arg_LANGUAGE 0409)
  endif()
  get_target_property(VI_NAME ${arg_TARGET} OUTPUT_NAME)
  if(NOT VI_NAME)
    set(VI_NAME ${arg_TARGET})
  endif()
  set(VI_FILE "${VI_NAME}${CMAKE_EXECUTABLE_SUFFIX}")
  set(VI_DESCRIPTION "${arg_DESCRIPTION}")
  set(VI_LANGUAGE "${arg_LANGUAGE}")
  string(REPLACE "." "," VI_COMMAS "${ADVCLEAN_VERSION_QUAD}")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}_version.rc")
  configure_file("${ADVCLEAN_CMAKE_DIR}/versioninfo.rc.in" "${rc}" @ONLY)
  target_sources(${arg_TARGET} PRIVATE "${rc}")
endfunction()
