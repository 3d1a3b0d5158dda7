# Writes a C++ source that holds files as byte arrays, for the host to serve
# without reading them from disk. Run as a script:
#   cmake -DOUTPUT=out.cpp -DBASE=dir -DFILES="a;b" -P embed_files.cmake
# Each file is named by its path relative to BASE. The source defines
# KzoHost::EmbeddedWebFiles() as declared in host/web_files.h.
cmake_minimum_required(VERSION 3.25)

set(arrays "")
set(entries "")
set(index 0)
foreach(file IN LISTS FILES)
  file(RELATIVE_PATH name "${BASE}" "${file}")
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Sixteen bytes a line (CMake's expressions have no counted repeats).
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "// ${name}\nconstexpr unsigned char kFile${index}[] = {\n    ${bytes}0x00};\n\n")
  string(APPEND entries "    {\"${name}\", Bytes(kFile${index}, ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(text "// Generated from host/web by host/embed_files.cmake; do not edit.
#include \"host/web_files.h\"

namespace KzoHost {
namespace {

// Each array ends with an extra zero byte so that an empty file is still an array.
${arrays}std::string_view Bytes(const unsigned char* bytes, size_t size) {
    return {reinterpret_cast<const char*>(bytes), size};
}

}  // namespace

std::span<const EmbeddedFile> EmbeddedWebFiles() noexcept {
    static const EmbeddedFile kFiles[] = {
${entries}    };
    return kFiles;
}

}  // namespace KzoHost
")

# Written only when it changes, so that an unchanged page rebuilds nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
