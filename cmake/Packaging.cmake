# The release packages of the Windows build, made by CPack:
#
#   cmake --build build/win64 --target guide package   (or bash scripts/release.sh)
#
# gives, from the same files,
#   AdvClean-VERSION-win64.zip        one folder of that name: AdvClean.exe,
#                                     the operator's guide in Russian and
#                                     English (HTML), the change list, and
#                                     tools\ with advclean.exe and
#                                     pxtool.exe; a portable copy;
#   AdvClean-VERSION-win64-setup.exe  an installer of the same files into
#                                     Program Files\AdvClean, with Start-menu
#                                     shortcuts and an uninstaller.
# The guide is built by the target guide (docs/CMakeLists.txt) first.

# The command-line programs go into a folder of their own: advclean.exe
# and AdvClean.exe are one file name to Windows, whose file names ignore
# letter case.
install(TARGETS AdvClean RUNTIME DESTINATION .)
install(TARGETS advclean pxtool RUNTIME DESTINATION tools)

# The change list as a Windows text editor expects it: CRLF line ends and
# a UTF-8 byte-order mark, without which older editors take it for ANSI.
set(changes_text "${CMAKE_BINARY_DIR}/package-texts/CHANGES.md")
add_custom_command(OUTPUT "${changes_text}"
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/CHANGES.md -DOUT=${changes_text}
          -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
  DEPENDS "${PROJECT_SOURCE_DIR}/CHANGES.md" "${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake"
  COMMENT "Windows text CHANGES.md")
add_custom_target(package_texts ALL DEPENDS "${changes_text}")
install(FILES "${changes_text}" DESTINATION .)

# The guide takes Wine a while to photograph, so it is no part of ALL; say
# so plainly rather than let the install step fail on a missing file.
foreach(html IN LISTS ADVCLEAN_GUIDE_HTML)
  install(CODE "
    if(NOT EXISTS \"${html}\")
      message(FATAL_ERROR \"${html} is missing: build the target guide before packaging (cmake --build ${CMAKE_BINARY_DIR} --target guide)\")
    endif()")
endforeach()
install(FILES ${ADVCLEAN_GUIDE_HTML} DESTINATION .)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME AdvClean)
set(CPACK_PACKAGE_VENDOR AdvClean)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "AdvClean-${PROJECT_VERSION}-win64")
set(CPACK_STRIP_FILES ON)
# Only the three programs and the texts, never the tests' files.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};AdvClean;ALL;/")

# The installer. Its pages come from NSIS's own translations: Russian on a
# Russian Windows, English on others, and English where the page is one of
# CPack's own.
set(CPACK_PACKAGE_INSTALL_DIRECTORY AdvClean)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY AdvClean)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME AdvClean)
set(CPACK_NSIS_DISPLAY_NAME "AdvClean ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALLED_ICON_NAME AdvClean.exe)
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/src/app/resources/advclean.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/src/app/resources/advclean.ico")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_PACKAGE_EXECUTABLES AdvClean "Утилита удаления дублей")
set(CPACK_NSIS_MENU_LINKS guide.ru.html "Руководство оператора" guide.en.html "Operator's guide")
set(CPACK_NSIS_MUI_FINISHPAGE_RUN AdvClean.exe)
# A new version replaces the old one: the old uninstaller runs first
# (without questions in a silent install).
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The uninstaller leaves no registry key behind: CPack's removes the key
# Software\AdvClean\AdvClean but not the empty one above it.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
    "DeleteRegKey SHCTX \"Software\\AdvClean\\AdvClean\"\nDeleteRegKey /ifempty SHCTX \"Software\\AdvClean\"")
# No licence page: CPack would show its generic placeholder text.
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
# A 64-bit Unicode installer, like the programs it carries: the Russian
# names of the shortcuts survive, Program Files and the registry are the
# 64-bit ones, and a Wine without 32-bit support runs it. The pages' bottom
# line names AdvClean rather than the installer's maker (given here:
# CPACK_NSIS_BRANDING_TEXT adds an option makensis has only on Windows).
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS
    "-INPUTCHARSET UTF8 \"-XTarget amd64-unicode\" \"-XBrandingText 'AdvClean ${PROJECT_VERSION}'\"")
set(CPACK_VERBATIM_VARIABLES ON)
# The ZIP's one top folder and the installer's file name: PackageOptions.cmake.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/PackageOptions.cmake")
include(CPack)
