# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model, so std::mutex
# and std::thread work). The result is one self-contained .exe: libgcc, libstdc++ and
# winpthread are linked in statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Libraries and headers come from the mingw sysroot only; programs from the build host.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Generators that run during the build (the embedded loader image) need a compiler for the
# build host, not for Windows.
find_program(pellora_native_cxx NAMES g++ c++ REQUIRED)
set(PELLORA_HOST_CXX ${pellora_native_cxx}
    CACHE FILEPATH "C++ compiler for programs that run on the build host")
