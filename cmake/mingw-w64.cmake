# Cross-builds the command line and the Qt-free libraries for 64-bit Windows
# with Debian's mingw-w64 compilers (the posix thread model, which std::thread
# and std::mutex need):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DQUORIN_GUI=OFF
# tools/test-windows.sh does that, builds the tests and runs them under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORIN_MINGW_TRIPLE}-windres)

# Libraries and headers for Windows only; programs are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file to ship: the C and C++ runtimes and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# The header-only libraries come from Debian's packages for the build
# machine, through the small package files beside this one.
foreach(package CLI11 tomlplusplus nlohmann_json)
  set(${package}_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64 CACHE PATH "")
endforeach()
