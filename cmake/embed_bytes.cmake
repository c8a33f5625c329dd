# Writes a C++ source that holds the bytes of a file, so that a program the
# build assembles becomes part of the library. Run as a script:
#   cmake -DINPUT=<file> -DOUTPUT=<source.cc> -DHEADER=<header declaring it>
#         -DFUNCTION=<name> -P embed_bytes.cmake
# The source defines `std::span<const std::uint8_t> FUNCTION()` in namespace
# bitmosaic, declared by HEADER.
foreach(variable INPUT OUTPUT HEADER FUNCTION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "embed_bytes.cmake needs -D${variable}=...")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${hex}")
# Twelve bytes a line (CMake's expressions have no counted repeats).
string(REPEAT "0x.., " 12 line)
string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
string(REGEX REPLACE " +\n" "\n" bytes "${bytes}")
string(REGEX REPLACE "[ ,\n]+$" "" bytes "${bytes}")
cmake_path(GET INPUT FILENAME input_name)

file(WRITE "${OUTPUT}" "\
// Made at build time by cmake/embed_bytes.cmake from ${input_name}: do not edit.
#include \"${HEADER}\"

#include <array>

namespace bitmosaic {
namespace {

constexpr std::array<std::uint8_t, ${size}> kBytes = {
    ${bytes}};

}  // namespace

std::span<const std::uint8_t> ${FUNCTION}() { return kBytes; }

}  // namespace bitmosaic
")
