# Cross build for 64-bit Windows with MinGW-w64 (POSIX thread model, so
# std::thread and std::mutex work), run under Wine for the tests.
#
#   cmake -S . -B build/win64 -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ADVCLEAN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${ADVCLEAN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ADVCLEAN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${ADVCLEAN_MINGW_PREFIX}-windres)
set(CMAKE_AR           ${ADVCLEAN_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       ${ADVCLEAN_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${ADVCLEAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The static runtime is the project's own choice, made for every MinGW build
# in the top CMakeLists.txt, not here.

# Test programs and other build-time runs go through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /bin/bash "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
