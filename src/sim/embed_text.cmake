# Writes a C++ source file whose function returns the bytes of a text file:
#   cmake -DINPUT=file.json -DOUTPUT=file.cpp -DFUNCTION=Name -P embed_text.cmake
# defines `std::string_view lumra::sim::Name()`. A byte array rather than a raw string, so any
# text fits, whatever delimiters it contains. Run as a build step, not a host program, so it
# needs no compiler for the build machine when cross-compiling.
foreach(variable INPUT OUTPUT FUNCTION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "embed_text.cmake needs -D${variable}=...")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
if(hex STREQUAL "")
  message(FATAL_ERROR "${INPUT} is empty")
endif()
# Sixteen bytes a line, each as 0xNN.
string(REGEX REPLACE "(................................)" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "\n$" "" bytes "${bytes}")
string(REPLACE "\n" "\n    " bytes "${bytes}")

get_filename_component(name "${INPUT}" NAME)
set(array "k${FUNCTION}Bytes")
file(CONFIGURE OUTPUT "${OUTPUT}" @ONLY CONTENT [[
// Generated from @name@ by embed_text.cmake at build time: edit that file, not this one.
#include <string_view>

namespace lumra::sim {
namespace {

constexpr unsigned char @array@[] = {
    @bytes@};

}  // namespace

std::string_view @FUNCTION@() {
  return {reinterpret_cast<const char*>(@array@),
          sizeof @array@};
}

}  // namespace lumra::sim
]])
