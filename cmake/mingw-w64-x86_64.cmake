# Cross build for 64-bit Windows with the Debian mingw-w64 toolchain (POSIX
# thread model, so std::thread and friends are available). Binaries are
# linked statically so that they run on a bare Windows without extra DLLs,
# and are run under wine64 when CTest executes them here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CNV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CNV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CNV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${CNV_MINGW_PREFIX}-windres)

# Header-only libraries of the build machine that the Windows build may use
# (command-line parsing, sequence diff, JSON) are linked into a root of
# their own, so that no other host header can get onto the include path.
set(CNV_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(dir CLI dtl nlohmann)
  if(EXISTS /usr/include/${dir} AND NOT EXISTS ${CNV_HOST_HEADERS}/include/${dir})
    file(MAKE_DIRECTORY ${CNV_HOST_HEADERS}/include)
    file(CREATE_LINK /usr/include/${dir} ${CNV_HOST_HEADERS}/include/${dir} SYMBOLIC)
  endif()
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${CNV_MINGW_PREFIX} ${CNV_HOST_HEADERS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs the Windows executables through Wine (wine-run sets up
# the private prefix and the locale).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
