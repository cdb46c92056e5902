# Cross-compiles lumra for macOS on a machine without Xcode: clang, ld64.lld and an SDK folder.
#
#   cmake -B build/macos-arm64 -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/macos.cmake -DCMAKE_OSX_ARCHITECTURES=arm64
#
# The SDK comes from LUMRA_MACOS_SDK (cache variable or environment), else ../shared/macos-sdk
# beside the source tree. One architecture per build (arm64 when none is given); join the
# slices with lipo. The SDK holds no libSystem or libc++ stubs, so C and C++ library symbols
# are left to the dynamic loader (-undefined dynamic_lookup) while every framework symbol is
# bound to its framework through the SDK's .tbd files. Nothing built this way runs here.
set(CMAKE_SYSTEM_NAME Darwin)

if(NOT LUMRA_MACOS_SDK)
  if(DEFINED ENV{LUMRA_MACOS_SDK})
    set(LUMRA_MACOS_SDK "$ENV{LUMRA_MACOS_SDK}")
  else()
    get_filename_component(LUMRA_MACOS_SDK "${CMAKE_CURRENT_LIST_DIR}/../../../shared/macos-sdk"
                           ABSOLUTE)
  endif()
endif()
set(LUMRA_MACOS_SDK "${LUMRA_MACOS_SDK}" CACHE PATH "macOS SDK folder to compile and link against")
if(NOT EXISTS "${LUMRA_MACOS_SDK}/usr/include/c++/v1")
  message(FATAL_ERROR "no macOS SDK at ${LUMRA_MACOS_SDK}; set LUMRA_MACOS_SDK")
endif()
set(CMAKE_OSX_SYSROOT "${LUMRA_MACOS_SDK}" CACHE PATH "")
set(CMAKE_OSX_DEPLOYMENT_TARGET 11.0 CACHE STRING "")
set(CMAKE_OSX_ARCHITECTURES arm64 CACHE STRING "")
set(CMAKE_SYSTEM_PROCESSOR "${CMAKE_OSX_ARCHITECTURES}")
# Try-compiles see this file again; these carry the choices into them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMRA_MACOS_SDK)

find_program(LUMRA_CLANG NAMES clang-14 clang REQUIRED)
find_program(LUMRA_CLANGXX NAMES clang++-14 clang++ REQUIRED)
find_program(LUMRA_LD64 NAMES ld64.lld-14 ld64.lld REQUIRED)
find_program(LUMRA_LLVM_AR NAMES llvm-ar-14 llvm-ar REQUIRED)
find_program(LUMRA_LLVM_RANLIB NAMES llvm-ranlib-14 llvm-ranlib REQUIRED)
set(CMAKE_C_COMPILER "${LUMRA_CLANG}")
set(CMAKE_CXX_COMPILER "${LUMRA_CLANGXX}")
set(CMAKE_AR "${LUMRA_LLVM_AR}" CACHE FILEPATH "")
set(CMAKE_RANLIB "${LUMRA_LLVM_RANLIB}" CACHE FILEPATH "")

set(lumra_macos_target "${CMAKE_OSX_ARCHITECTURES}-apple-macos${CMAKE_OSX_DEPLOYMENT_TARGET}")
set(CMAKE_C_COMPILER_TARGET "${lumra_macos_target}")
set(CMAKE_CXX_COMPILER_TARGET "${lumra_macos_target}")
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-fuse-ld=${LUMRA_LD64} -mlinker-version=711 -nostdlib -Wl,-undefined,dynamic_lookup")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")

# Libraries built for macOS by the same toolchain (GoogleTest for the tests) can be found by
# passing their install prefix in CMAKE_FIND_ROOT_PATH.
list(APPEND CMAKE_FIND_ROOT_PATH "${LUMRA_MACOS_SDK}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
