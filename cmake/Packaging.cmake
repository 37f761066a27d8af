# The release package of the Windows build, made by CPack:
#
#   cmake --build build/win64 --target package   (or bash scripts/release.sh)
#
# gives AdvClean-VERSION-win64.zip: one folder of that name holding the
# three programs, the operator's guide in Russian and in English and the
# change list.

install(TARGETS AdvClean advclean pxtool RUNTIME DESTINATION .)

# The texts as a Windows text editor expects them: CRLF line ends and a
# UTF-8 byte-order mark, without which older editors take the Russian
# guide for ANSI text.
set(package_texts docs/guide.ru.md docs/guide.en.md CHANGES.md)
set(package_text_files "")
foreach(text IN LISTS package_texts)
  get_filename_component(name "${text}" NAME)
  set(out "${CMAKE_BINARY_DIR}/package-texts/${name}")
  add_custom_command(OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/${text} -DOUT=${out}
            -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
    DEPENDS "${PROJECT_SOURCE_DIR}/${text}" "${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake"
    COMMENT "Windows text ${name}")
  list(APPEND package_text_files "${out}")
endforeach()
add_custom_target(package_texts ALL DEPENDS ${package_text_files})
install(FILES ${package_text_files} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME AdvClean)
set(CPACK_PACKAGE_VENDOR AdvClean)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "AdvClean-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
# Only the three programs and the texts, never the tests' files.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};AdvClean;ALL;/")
include(CPack)
