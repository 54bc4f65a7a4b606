# Script mode (cmake -P): writes a C++ source that registers the PNG files
# listed in the .rc file with the raster library's resource table, so that
# Linux builds find the images by the same integer ids as the Windows ones.
# Relative paths in the .rc file are taken from its folder.
#   -DRC_FILE=<images.rc> -DOUT=<generated .cpp>
file(STRINGS "${RC_FILE}" lines REGEX "^[0-9]+[ \t]+PNG[ \t]+\"[^\"]+\"")
get_filename_component(rc_dir "${RC_FILE}" DIRECTORY)

set(arrays "")
set(entries "")
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([0-9]+)[ \t]+PNG[ \t]+\"([^\"]+)\"" _ "${line}")
  set(id "${CMAKE_MATCH_1}")
  set(path "${CMAKE_MATCH_2}")
  if(NOT IS_ABSOLUTE "${path}")
    set(path "${rc_dir}/${path}")
  endif()
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "alignas(8) const unsigned char kImage${id}[${size}] = {\n${bytes}\n};\n")
  string(APPEND entries "  {${id}, kImage${id}, ${size}},\n")
endforeach()

set(content "// Generated from ${RC_FILE}; do not edit.
#include \"raster/RAS_Resources.h\"

namespace {
${arrays}
const RAS_ResourceEntry kEntries[] = {
${entries}};

const bool kRegistered = RAS_RegisterResources(kEntries, sizeof(kEntries) / sizeof(kEntries[0]));
}  // namespace
")
file(WRITE "${OUT}.tmp" "${content}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
